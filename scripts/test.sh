#!/usr/bin/env bash
# Installs what is missing, builds Tessivo and runs the whole test suite: the debug build
# with warnings as errors, the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# the release build's package (lintian-clean, the program hardened), and the fuzzers for a
# bounded time.
#   scripts/test.sh              everything
#   FUZZ_SECONDS=300 scripts/test.sh   fuzz longer
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh test

passed=0
run_ctest() {
    local preset=$1 log status=0
    log=$(mktemp)
    ctest --preset "$preset" 2>&1 | tee "$log" || status=$?
    passed=$((passed + $(grep -c -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log" || true)))
    rm -f "$log"
    return "$status"
}

echo "== Debug build, warnings as errors"
cmake --preset dev
cmake --build --preset dev
run_ctest dev

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan
cmake --build --preset asan
run_ctest asan

echo "== Release build: its Debian package and the program's hardening"
cmake --preset release
cmake --build --preset release
tests/install/check_package.sh build/release
passed=$((passed + 1))

if [ -x fuzz/run ]; then
    echo "== Fuzzers"
    fuzz/run "${FUZZ_SECONDS:-30}"
    passed=$((passed + 2))
fi

echo "suite: $passed passed, 0 failed"
