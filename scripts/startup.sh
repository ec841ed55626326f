#!/usr/bin/env bash
# Process start to the first page painted, for Lectorix and for a peer e-book reader (FBReader,
# installed here for this measurement only), in a real window under Xvfb with openbox at
# 1366 × 768. Runs are interleaved (Lectorix, then the peer, for each book in turn) and each
# figure is the median of RUNS (default 5).
#
#   scripts/startup.sh [BUILD_DIR] [RUNS]     (default build-test, 5)
#
# Books: the welcome book (no file), the novel's plain text, its FB2 and EPUB (made by
# scripts/novel-books.sh) and the .lxb book `lectorix-tool convert` writes of the FB2. Every
# Lectorix run starts with a fresh home (no bookmark question); "again" is a second opening
# of the same file with the cache of converted books kept from the first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}
runs=${2:-5}
lectorix=$PWD/$build/src/app/lectorix
tool=$PWD/$build/src/tool/lectorix-tool
[ -x "$lectorix" ] || { echo "no $lectorix: build first" >&2; exit 2; }

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
need=()
for p in fbreader libx11-dev xvfb openbox; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
((${#need[@]} == 0)) || $sudo apt-get install -y --no-install-recommends "${need[@]}"

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cc -O2 -o "$work/first_paint" bench/first_paint.c -lX11
# A program outside the system keeps its settings beside itself (lectorix.ini), which a fresh
# home would not clear: a copy in the work folder runs instead, its settings removed each run.
cp "$lectorix" "$(dirname "$lectorix")"/lectorix-*.so "$work/"
lectorix=$work/lectorix

scripts/novel-books.sh "$work/books" >/dev/null
text=$PWD/../shared/testdata/texts/tolstoy_anna_karenina.utf8.txt
"$tool" convert "$work/books/anna_karenina.fb2" "$work/books/anna_karenina.lxb"

. scripts/measure-common.sh
start_virtual_screen ":$((90 + RANDOM % 9))"

# One run of Lectorix: its own home; $2 = keep the cache from the previous run of this file.
lectorix_once() {
    local file=$1 keep=$2 home="$work/home-$RANDOM"
    rm -f "$lectorix.ini" "$lectorix.ini.lock"
    mkdir -p "$home"
    [ "$keep" = 1 ] && [ -d "$work/cache" ] && cp -r "$work/cache" "$home/.cache"
    # A first opening lives two seconds more, so the converted book reaches the cache as it
    # would in use (it is written behind the first page); only the milliseconds are kept.
    local linger=()
    [ "$keep" = 1 ] || linger=(--rss-after 2)
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        "$work/first_paint" "${linger[@]}" -- "$lectorix" ${file:+"$file"} | cut -d' ' -f1
    rm -rf "$work/cache"
    [ -d "$home/.cache" ] && cp -r "$home/.cache" "$work/cache"
    rm -rf "$home"
}
# One run of the peer, with a fresh home too (its library database would remember the book).
peer_once() {
    local home="$work/peer-home-$RANDOM"
    mkdir -p "$home"
    env HOME="$home" "$work/first_paint" -- fbreader "$1" 2>/dev/null
    rm -rf "$home"
}

declare -A ours again peer
books=(welcome text fb2 epub lxb)
declare -A files=([welcome]="" [text]="$text" [fb2]="$work/books/anna_karenina.fb2"
                  [epub]="$work/books/anna_karenina.epub" [lxb]="$work/books/anna_karenina.lxb")
for ((r = 1; r <= runs; r++)); do
    for b in "${books[@]}"; do
        f=${files[$b]}
        rm -rf "$work/cache"
        ours[$b]+="$(lectorix_once "$f" 0) "
        again[$b]+="$(lectorix_once "$f" 1) "
        if [ "$b" != welcome ] && [ "$b" != lxb ]; then peer[$b]+="$(peer_once "$f") "; fi
    done
done

printf '| book | Lectorix, first opening | Lectorix, again | FBReader | Lectorix / FBReader |\n'
printf '|---|---|---|---|---|\n'
for b in "${books[@]}"; do
    o=$(tr ' ' '\n' <<<"${ours[$b]}" | grep . | median)
    a=$(tr ' ' '\n' <<<"${again[$b]}" | grep . | median)
    if [ -n "${peer[$b]:-}" ]; then
        p=$(tr ' ' '\n' <<<"${peer[$b]}" | grep . | median)
        ratio=$(awk -v o="$o" -v p="$p" 'BEGIN {printf "%.2f", o / p}')
        printf '| %s | %s ms | %s ms | %s ms | %s |\n' "$b" "$o" "$a" "$p" "$ratio"
    else
        printf '| %s | %s ms | %s ms | — | — |\n' "$b" "$o" "$a"
    fi
done
