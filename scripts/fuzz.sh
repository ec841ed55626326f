#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in fuzz-build/ and runs every target (or the ones
# named) for SECONDS each, side by side, starting from its seed corpus in fuzz/corpus/.
# New inputs go to fuzz-build/corpus/<target>/ so the checked-in seeds stay as they are;
# failing inputs land in fuzz-build/artifacts/<target>/, each run's output in fuzz-build/<target>.log.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      (default: 300 seconds, all targets)
#
# FUZZ_CC and FUZZ_CXX choose the compiler (default clang-14 and clang++-14), FUZZ_BUILD the build
# folder in place of fuzz-build/. The test suite runs every target a few seconds as a smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD:-fuzz-build}

seconds=${1:-300}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
if ((${#targets[@]} == 0)); then targets=(fuzz_text_pages fuzz_wrap fuzz_book fuzz_rtf fuzz_ini fuzz_stats fuzz_archive fuzz_bookmarks fuzz_fb2 fuzz_epub fuzz_document fuzz_format fuzz_dictionary fuzz_cache); fi

CC=${FUZZ_CC:-clang-14} CXX=${FUZZ_CXX:-clang++-14} cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLECTORIX_FUZZ=ON -DLECTORIX_GUI=OFF -DLECTORIX_TESTS=OFF
cmake --build "$build" --target "${targets[@]}"

pids=()
for t in "${targets[@]}"; do
    mkdir -p "$build/corpus/$t" "$build/artifacts/$t"
    "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" \
        "$build/corpus/$t" "fuzz/corpus/$t" >"$build/$t.log" 2>&1 &
    pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
    t=${targets[$i]}
    if wait "${pids[$i]}"; then
        echo "== $t: clean"
    else
        echo "== $t: FAILED, see $build/$t.log and $build/artifacts/$t/"
        status=1
    fi
    grep -E '^#[0-9]+ +DONE|^Done|stat::number_of_executed_units' "$build/$t.log" || true
done
exit $status
