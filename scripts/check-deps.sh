#!/usr/bin/env bash
# Fails when a build used a file from a Debian package that scripts/install-deps.sh does not
# install: a package outside the Depends/Pre-Depends closure of its list and not of priority
# "required". The files: the headers in the build's dependency log, the CMake package
# configurations it found, and the shared libraries of every program it built.
#   scripts/check-deps.sh BUILD_DIR
# LECTORIX_DEPS_LIST=FILE checks against the packages in FILE (one a line) instead.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: check-deps.sh BUILD_DIR}
[ -f "$build/CMakeCache.txt" ] || { echo "check-deps: $build is not a CMake build folder" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [ -n "${LECTORIX_DEPS_LIST:-}" ]; then
    grep -v '^\s*$' "$LECTORIX_DEPS_LIST" >"$tmp/list"
else
    "$here/install-deps.sh" --print >"$tmp/list"
fi

# Files from the system the build used.
{
    if [ -f "$build/build.ninja" ]; then
        ninja -C "$build" -t deps 2>/dev/null | sed -n 's/^ *\(\/.*\)$/\1/p'
    fi
    sed -n 's/^\([A-Za-z0-9_]*\)_DIR:PATH=\(\/.*\)$/\1 \2/p' "$build/CMakeCache.txt" |
        while read -r name dir; do
            lower=$(printf '%s' "$name" | tr 'A-Z' 'a-z')
            for f in "$dir/${name}Config.cmake" "$dir/${lower}-config.cmake"; do
                if [ -f "$f" ]; then echo "$f"; fi
            done
        done
    find "$build" -type f -perm -u+x ! -name '*.sh' -print0 |
        while IFS= read -r -d '' f; do
            head -c 4 "$f" 2>/dev/null | grep -q 'ELF' || continue
            ldd "$f" 2>/dev/null | sed -n 's/.*=> \(\/[^ ]*\) .*/\1/p'
        done
} | grep -v -e "^$(cd "$build" && pwd)/" -e "^$(cd "$here/.." && pwd)/" | sort -u >"$tmp/files"

# The package of each file, from dpkg's file lists (one pass instead of a dpkg -S a file).
# dpkg knows a file under the name its package installed it as, so a merged-/usr alias or a
# symbolic link is looked up under its other names as well.
while read -r f; do
    printf '%s\t%s\n' "$f" "$f" "${f#/usr}" "$f" "/usr$f" "$f" "$(readlink -f "$f")" "$f"
done <"$tmp/files" >"$tmp/names"
awk -F'\t' 'NR == FNR { if (!($1 in want)) want[$1] = $2; next }
    FNR == 1 { pkg = FILENAME; sub(/.*\//, "", pkg); sub(/\.list$/, "", pkg); sub(/:.*/, "", pkg) }
    ($0 in want) && !(want[$0] in seen) { seen[want[$0]] = 1; print pkg "\t" want[$0] }
' "$tmp/names" /var/lib/dpkg/info/*.list >"$tmp/owners"

# What the list brings in, and what every Debian system has.
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances $(cat "$tmp/list") 2>/dev/null |
    sed -n 's/^\([a-z0-9][^ ]*\)$/\1/p; s/^ *\(Pre-\)\{0,1\}Depends: \([^< ][^ ]*\)$/\2/p; s/^    \([a-z0-9][^ ]*\)$/\1/p' \
    >"$tmp/closure"
dpkg-query -W -f='${Package} ${Priority}\n' | awk '$2 == "required" { print $1 }' >>"$tmp/closure"
cat "$tmp/list" >>"$tmp/closure"
sed 's/:[a-z0-9]*$//' "$tmp/closure" | sort -u >"$tmp/allowed"

failed=0
while IFS=$'\t' read -r packages file; do
    for p in ${packages//,/ }; do
        p=${p%%:*}
        if ! grep -qxF "$p" "$tmp/allowed"; then
            echo "check-deps: the build uses $p (e.g. $file), which scripts/install-deps.sh does not install"
            failed=1
        fi
    done
done < <(sort -u -t$'\t' -k1,1 "$tmp/owners")
count=$(wc -l <"$tmp/files")
if ((failed)); then exit 1; fi
echo "check-deps: the $count system files the build used come from packages scripts/install-deps.sh installs"
