#!/usr/bin/env bash
# The dependency check must catch a package the install list forgets: fed made-up lists, it
# fails and names what is missing; fed the real list, it passes.
#   check_deps_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1
build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

expect_failure_naming() {
    local what=$1 package=$2 out
    if out=$(LECTORIX_DEPS_LIST="$tmp/list" "$src/scripts/check-deps.sh" "$build" 2>&1); then
        echo "FAIL: a list $what passed"
        failures=$((failures + 1))
    elif ! grep -q "uses $package " <<<"$out"; then
        echo "FAIL: a list $what failed without naming $package:"
        echo "$out"
        failures=$((failures + 1))
    fi
}

"$src/scripts/install-deps.sh" --print | grep -vx qt6-charts-dev >"$tmp/list"
expect_failure_naming "without qt6-charts-dev" qt6-charts-dev

# cmake alone: the compiler's headers, Qt and the test framework all come from elsewhere.
echo cmake >"$tmp/list"
expect_failure_naming "of cmake alone" libstdc++-12-dev
expect_failure_naming "of cmake alone" qt6-base-dev

if ! out=$("$src/scripts/check-deps.sh" "$build" 2>&1); then
    echo "FAIL: the real list does not pass:"
    echo "$out"
    failures=$((failures + 1))
fi
((failures == 0))
