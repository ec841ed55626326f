#!/usr/bin/env bash
# Rebuilds the built-in dictionary, resources/dictionary/lectorix.dict, with the project's own
# `lectorix-tool dict build`: the words the public-domain texts of the shared test data hold at
# least twice, kept only where hunspell-ru's ru_RU.dic lists them as they stand (its lower-case
# stems: base forms, no proper names), up to 15 letters, the alphabet as the words of one letter.
#
#   scripts/build-dictionary.sh [--check] [TOOL]
#
# TOOL is lectorix-tool (default: build-test/src/tool/lectorix-tool). With --check the dictionary
# is written to a temporary file instead and compared with the one in the repository byte for
# byte (status 1 when they differ, 77 when the texts or hunspell-ru are not there) and checked
# with `dict check`. LECTORIX_SHARED_TESTDATA names the folder of the texts (default
# ../shared/testdata beside the repository).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

check=0
if [ "${1:-}" = --check ]; then
    check=1
    shift
fi
tool=${1:-$here/build-test/src/tool/lectorix-tool}
texts_dir=${LECTORIX_SHARED_TESTDATA:-$here/../shared/testdata}/texts
spelling=/usr/share/hunspell/ru_RU.dic
dict=$here/resources/dictionary/lectorix.dict

# The texts, each once (the CP1251 copy of the story would count its words twice).
texts=("$texts_dir/chekhov_khameleon.utf8.txt" "$texts_dir/pushkin_evgeny_onegin.utf8.txt"
       "$texts_dir/tolstoy_anna_karenina.utf8.txt")
for f in "${texts[@]}" "$spelling"; do
    if [ ! -r "$f" ]; then
        echo "build-dictionary: $f is not there (scripts/install-deps.sh installs hunspell-ru)" >&2
        exit 77
    fi
done

out=$dict
if ((check)); then
    out=$(mktemp --suffix=.dict)
    trap 'rm -f "$out"' EXIT
fi
"$tool" dict build --min-count 2 --keep-words "$spelling" --max-length 15 --alphabet \
    "${texts[@]}" -o "$out"
"$tool" dict check "$out" >/dev/null
if ((check)); then
    if ! cmp "$out" "$dict"; then
        echo "build-dictionary: $dict is not what the texts and hunspell-ru give;" \
             "rebuild it with scripts/build-dictionary.sh" >&2
        exit 1
    fi
fi
