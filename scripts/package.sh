#!/usr/bin/env bash
# Builds the Debian package lectorix_<version>_amd64.deb in build-package/ and runs lintian on it.
#   scripts/package.sh                  build the package and check it with lintian
#   scripts/package.sh --install-check  also install it with apt-get, run lectorix-tool and
#                                       lectorix from /usr/bin, and remove it again
set -euo pipefail
cd "$(dirname "$0")/.."

install_check=0
[ "${1:-}" = --install-check ] && install_check=1

scripts/install-deps.sh
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
# Packaging needs dpkg-shlibdeps (dpkg-dev, part of build-essential) and lintian.
dpkg-query -W -f='${Status}' lintian 2>/dev/null | grep -q "install ok installed" ||
    $sudo apt-get install -y --no-install-recommends lintian

# RelWithDebInfo, as the suite builds it (GCC 12 at -O3 warns falsely on string inserts);
# the package gets the binaries stripped.
dir=build-package
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DLECTORIX_TESTS=OFF -DLECTORIX_BENCH=OFF -DLECTORIX_WERROR=ON
cmake --build "$dir" -j "$(nproc)"
rm -f "$dir"/lectorix_*.deb
(cd "$dir" && cpack -G DEB)
deb=$(ls "$dir"/lectorix_*_amd64.deb)
echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

# lintian's errors fail the script; its warnings are printed.
lintian --fail-on error --info "$deb"
echo "== lintian: no errors"

if ((install_check)); then
    # A copy of the package outside the build tree, so apt's sandbox user can read it.
    tmp=$(mktemp -d)
    trap '$sudo apt-get remove -y lectorix >/dev/null 2>&1 || true; rm -rf "$tmp"' EXIT
    cp "$deb" "$tmp/"
    chmod 755 "$tmp"
    $sudo apt-get install -y "$tmp/$(basename "$deb")"
    test -x /usr/bin/lectorix && test -x /usr/bin/lectorix-tool
    /usr/bin/lectorix-tool --help >/dev/null
    /usr/bin/lectorix-tool count tests/data/texts/chekhov_khameleon.cp1251.txt
    # The program, headless, as an ordinary user with a home of its own, opening a text given
    # on its command line: it must still be running after a second, have read the text through
    # its installed module (the dynamic loader's log says so), and close on SIGTERM.
    home="$tmp/home"
    mkdir -p "$home"
    cp tests/data/texts/chekhov_khameleon.cp1251.txt "$home/text.txt"
    user_cmd=(env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache"
              LD_DEBUG=files LD_DEBUG_OUTPUT="$home/ld"
              QT_QPA_PLATFORM=offscreen /usr/bin/lectorix "$home/text.txt")
    if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1; then
        chown nobody "$home"
        user_cmd=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${user_cmd[@]}")
    fi
    "${user_cmd[@]}" &
    pid=$!
    sleep 2
    kill -0 "$pid"
    kill -TERM "$pid"
    wait "$pid"
    grep -q "file=/usr/lib/x86_64-linux-gnu/lectorix/lectorix-documents.so" "$home"/ld.* ||
        { echo "the text was not read through the installed module" >&2; exit 1; }
    echo "== lectorix ran from /usr/bin, read a text through its module and closed on SIGTERM"
    $sudo apt-get remove -y lectorix
    ! test -e /usr/bin/lectorix
    echo "== installed, run and removed"
fi
