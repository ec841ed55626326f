#!/usr/bin/env bash
# Resident memory of Lectorix three seconds after its first page is painted, in a real window
# under Xvfb with openbox at 1366 × 768, for the welcome book, the novel's plain text, its FB2
# and EPUB (scripts/novel-books.sh), the book `lectorix-tool format` makes of the text (8540
# contents entries) and the .lxb `lectorix-tool convert` writes of the FB2. Each figure is the
# median of RUNS (default 3) runs, each with a fresh home (so no cache of converted books).
#
#   scripts/memory.sh [BUILD_DIR] [RUNS] [--detail]     (default build-test, 3)
#
# --detail: where the memory of the last run of each book went, from /proc/PID/smaps: the main
# heap, the other anonymous memory (the malloc arenas of other threads, large blocks such as
# the page images, thread stacks), shared memory with the X server, the program's and the
# libraries' code and data, fonts and other mapped files.
set -euo pipefail
cd "$(dirname "$0")/.."
detail=0
args=()
for a in "$@"; do
    if [ "$a" = --detail ]; then detail=1; else args+=("$a"); fi
done
build=${args[0]:-build-test}
runs=${args[1]:-3}
lectorix=$PWD/$build/src/app/lectorix
tool=$PWD/$build/src/tool/lectorix-tool
[ -x "$lectorix" ] || { echo "no $lectorix: build first" >&2; exit 2; }
for p in xvfb openbox libx11-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
        { echo "$p is missing: scripts/install-deps.sh installs it" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cc -O2 -o "$work/first_paint" bench/first_paint.c -lX11
# A program outside the system keeps its settings beside itself (lectorix.ini), which a fresh
# home would not clear: a copy in the work folder runs instead, its settings removed each run.
cp "$lectorix" "$(dirname "$lectorix")"/lectorix-*.so "$work/"
lectorix=$work/lectorix

text=$PWD/../shared/testdata/texts/tolstoy_anna_karenina.utf8.txt
scripts/novel-books.sh "$work/books" >/dev/null
"$tool" convert "$work/books/anna_karenina.fb2" "$work/books/anna_karenina.lxb"
"$tool" format "$text" "$work/books/formatted.lxb"

. scripts/measure-common.sh
start_virtual_screen ":$((80 + RANDOM % 9))"
mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }

# smaps of one run, summed by kind of mapping (MB).
breakdown() {
    awk '
        /^[0-9a-f]+-[0-9a-f]+ / {
            path = $6; for (i = 7; i <= NF; ++i) path = path " " $i
            if (path == "[heap]") kind = "heap"
            else if (path == "[stack]" || path ~ /^\[(vdso|vvar|vsyscall)\]/) kind = "stack"
            else if (path == "") kind = "anon"
            else if (path ~ /^\/(SYSV|memfd:|dev\/shm|dev\/dri)/) kind = "shm"
            else if (path ~ /\.(ttf|otf|pfb|pfa|t1|ttc|cache-[0-9]+)$/ || path ~ /fontconfig/) kind = "fonts"
            else if (path ~ /lectorix$/) kind = "program"
            else if (path ~ /\.so/) kind = "libs"
            else kind = "files"
            next
        }
        /^Rss:/ { kb[kind] += $2 }
        END {
            printf "heap %.1f, other anonymous %.1f, stacks %.1f, shared %.1f, program %.1f, libraries %.1f, fonts %.1f, other files %.1f", \
                kb["heap"] / 1024, kb["anon"] / 1024, kb["stack"] / 1024, kb["shm"] / 1024, \
                kb["program"] / 1024, kb["libs"] / 1024, kb["fonts"] / 1024, kb["files"] / 1024
        }' "$1"
}

books=(welcome text fb2 epub lxb formatted)
declare -A files=([welcome]="" [text]="$text" [fb2]="$work/books/anna_karenina.fb2"
                  [epub]="$work/books/anna_karenina.epub" [lxb]="$work/books/anna_karenina.lxb"
                  [formatted]="$work/books/formatted.lxb")
declare -A rss anon file
for ((r = 1; r <= runs; r++)); do
    for b in "${books[@]}"; do
        home="$work/home"
        rm -rf "$home" "$lectorix.ini" "$lectorix.ini.lock"
        mkdir -p "$home"
        f=${files[$b]}
        read -r _ kb a fb < <(env HOME="$home" XDG_CONFIG_HOME="$home/.config" \
            XDG_CACHE_HOME="$home/.cache" "$work/first_paint" --rss-after 3 \
            --smaps "$work/smaps-$b" -- "$lectorix" ${f:+"$f"})
        rss[$b]+="$kb "
        anon[$b]+="$a "
        file[$b]+="$fb "
    done
done

printf '| book | resident | anonymous | file-backed |\n|---|---|---|---|\n'
for b in "${books[@]}"; do
    m() { tr ' ' '\n' <<<"$1" | grep . | median; }
    printf '| %s | %s MB | %s MB | %s MB |\n' "$b" "$(mb "$(m "${rss[$b]}")")" \
        "$(mb "$(m "${anon[$b]}")")" "$(mb "$(m "${file[$b]}")")"
done
if [ "$detail" = 1 ]; then
    echo
    for b in "${books[@]}"; do
        printf '%s: %s\n' "$b" "$(breakdown "$work/smaps-$b")"
    done
fi
