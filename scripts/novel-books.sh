#!/bin/bash
# Makes the novel of the test data into an FB2 and an EPUB 3 book with pandoc, its parts as
# first-level and its chapters as second-level headings, for the measurements of opening books.
#
#   scripts/novel-books.sh OUT_DIR   → OUT_DIR/anna_karenina.fb2, OUT_DIR/anna_karenina.epub
#
# With LONG_TITLES=1 each chapter's heading also takes the first words of the chapter ("I. Все
# счастливые семьи похожи друг на друга,…"), as many editions title their chapters: a book
# with long titles for the contents panel.
set -euo pipefail
out=${1:?usage: novel-books.sh OUT_DIR}
here=$(cd "$(dirname "$0")/.." && pwd)
text="$here/../shared/testdata/texts/tolstoy_anna_karenina.utf8.txt"
mkdir -p "$out"
md="$out/anna_karenina.md"
{
  printf -- '---\ntitle: Анна Каренина\nauthor: Лев Толстой\nlang: ru\n---\n\n'
  # The first two lines are the author and the title; parts and Roman chapter numbers stand on
  # lines of their own.
  tail -n +4 "$text" | sed -E \
    -e 's/^(Часть [[:alpha:]]+)[[:space:]]*$/# \1/' \
    -e 's/^([IVXLC]+)\.?[[:space:]]*$/## \1/' |
    if [ "${LONG_TITLES:-}" = 1 ]; then
      awk '/^## [IVXLC]+$/ { held = $0; next }
           held != "" && NF { n = NF < 8 ? NF : 8; t = $1
                              for (i = 2; i <= n; i++) t = t " " $i
                              print held ". " t "…"; print ""; held = "" }
           { print }'
    else
      cat
    fi
} >"$md"
pandoc -f markdown -t fb2 -o "$out/anna_karenina.fb2" "$md"
pandoc -f markdown -t epub3 -o "$out/anna_karenina.epub" "$md"
echo "$out/anna_karenina.fb2"
echo "$out/anna_karenina.epub"
