#!/bin/bash
# Makes the novel of the test data into an FB2 and an EPUB 3 book with pandoc, its parts as
# first-level and its chapters as second-level headings, for the measurements of opening books.
#
#   scripts/novel-books.sh OUT_DIR   → OUT_DIR/anna_karenina.fb2, OUT_DIR/anna_karenina.epub
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
    -e 's/^([IVXLC]+)\.?[[:space:]]*$/## \1/'
} >"$md"
pandoc -f markdown -t fb2 -o "$out/anna_karenina.fb2" "$md"
pandoc -f markdown -t epub3 -o "$out/anna_karenina.epub" "$md"
echo "$out/anna_karenina.fb2"
echo "$out/anna_karenina.epub"
