#!/usr/bin/env bash
# Installs what building, testing and running Lectorix needs on Debian 12.
#   scripts/install-deps.sh          install the packages below that are missing
#   scripts/install-deps.sh --print  print the packages, one a line (no root, no network)
# scripts/check-deps.sh fails the suite when a build uses a package this list does not reach.
set -euo pipefail

# One list: a package and, after #, why it is here.
read -r -d '' list <<'LIST' || true
build-essential        # the C++ compiler and make
cmake                  # the build
ninja-build            # the build's generator
pkg-config             # CMake finds libarchive through it
qt6-base-dev           # Qt Core, Gui, Widgets, Test
qt6-base-dev-tools     # moc and rcc
libqt6opengl6-dev      # Qt Charts' CMake package needs Qt6OpenGL (qt6-base-dev only recommends it)
qt6-charts-dev         # the statistics window's charts
libgl-dev              # OpenGL headers that Qt Gui's headers include
libarchive-dev         # reading archives
libxml2-dev            # reading FB2 and EPUB books
libgtest-dev           # the tests
pandoc                 # the tests: pandoc writes FB2 and EPUB books for them
libbenchmark-dev       # the benchmarks, built and smoke-run by the suite
libqt6gui6             # runtime: the xcb and offscreen platform plugins (also pulled in by qt6-base-dev)
libqt6svg6             # runtime: the Qt plugin that draws the SVG tool-bar icons
tango-icon-theme       # runtime: tool-bar icons where the desktop has no icon theme
fonts-liberation2      # runtime: metric twins of Courier New and Arial for the page and windows
fonts-urw-base35       # runtime: metric twins of the other Windows fonts the settings offer
fonts-dejavu-core      # runtime: DejaVu Sans Mono, the face behind "Lucida Console" on the page
qt6-translations-l10n  # runtime: Qt's Russian texts for the standard dialogs and buttons
xvfb                   # screenshots: an X server without a screen
xauth                  # screenshots: xvfb-run's authority file
openbox                # screenshots: a window manager, so windows get their frames and sizes
xdotool                # screenshots: driving the program's keys and windows
imagemagick            # screenshots: import -window root
clang-14               # the fuzz targets (libFuzzer)
libclang-rt-14-dev     # libFuzzer's and the sanitizers' runtime for clang
hunspell-ru            # the built-in word dictionary: its words are checked against this spelling list
LIST

packages=()
while read -r name _; do
    [ -n "$name" ] && packages+=("$name")
done <<<"$list"

if [ "${1:-}" = --print ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
