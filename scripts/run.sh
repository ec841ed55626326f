#!/usr/bin/env bash
# Installs what is missing, builds Lectorix and starts it (arguments go to the program).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DLECTORIX_TESTS=OFF
cmake --build build -j "$(nproc)"
exec build/src/app/lectorix "$@"
