#!/usr/bin/env bash
# Builds Lectorix and runs the whole test suite headless: once as users get it, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, then a smoke run of every fuzz target (ten
# seconds each, all at once, from its seeds). LECTORIX_NO_SANITIZE=1 skips the second run,
# LECTORIX_NO_FUZZ=1 the third.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

run() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DLECTORIX_WERROR=ON "$@"
    cmake --build "$dir" -j "$jobs"
    # A package the build uses that install-deps.sh does not install fails here, not on a new
    # machine.
    scripts/check-deps.sh "$dir"
    ctest --test-dir "$dir" -j "$jobs" --timeout 600
}

run build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLECTORIX_BENCH=ON
if [ "${LECTORIX_NO_SANITIZE:-0}" != 1 ]; then
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
    run build-asan -DCMAKE_BUILD_TYPE=Debug -DLECTORIX_SANITIZE=ON
fi
if [ "${LECTORIX_NO_FUZZ:-0}" != 1 ]; then
    FUZZ_BUILD=build-fuzz scripts/fuzz.sh 10
fi
