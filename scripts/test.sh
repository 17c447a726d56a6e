#!/usr/bin/env bash
# Installs what is missing, builds Tessivo and runs the whole test suite: the style check
# (clang-format, shellcheck), the debug build with warnings as errors, the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# the release build's package (lintian-clean, the program hardened), and the fuzzers for a
# bounded time. Every stage runs even after one has failed; the last line counts them all:
# each ctest test, the package check and each fuzzer (a stage that does not build counts as
# one failure), and the exit status is non-zero if anything failed.
#   scripts/test.sh              everything
#   FUZZ_SECONDS=300 scripts/test.sh   fuzz longer
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

scripts/setup.sh test || exit 1

passed=0
failed=0
not_run=()

# The tests mostly wait on X servers and compositors: twice as many run side by side as there
# are cores.
jobs=$(($(nproc) * 2))

# Runs one stage's ctest and adds up its tests: a test that says it was skipped (a check that
# needs root, see tests/e2e) is neither passed nor failed.
run_ctest() {
    local preset=$1 log status=0 total ok skipped
    log=$(mktemp)
    local start=$SECONDS
    ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log" || status=$?
    echo "ctest --preset $preset: $((SECONDS - start)) s"
    ok=$(grep -c -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log")
    skipped=$(grep -c -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' "$log")
    total=$(sed -n -E 's/.* tests? failed out of ([0-9]+)$/\1/p' "$log" | tail -n 1)
    passed=$((passed + ok))
    if [ -n "$total" ]; then
        failed=$((failed + total - ok - skipped))
    elif [ "$status" -ne 0 ] || [ "$ok" -eq 0 ]; then
        failed=$((failed + 1)) # ctest itself could not run the tests
    fi
    # ctest shows no output of a skipped test: its "skipped: why" lines are in ctest's own log.
    while read -r name; do not_run+=("$preset: $name"); done < <(
        sed -n -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) .*\*\*\*Skipped.*/\1/p' "$log")
    [ "$skipped" -eq 0 ] || grep -h '^skipped: ' "build/$preset/Testing/Temporary/LastTest.log" | sort -u
    rm -f "$log"
}

# A stage that does not configure or build counts as one failure and runs nothing.
build() {
    local preset=$1
    if cmake --preset "$preset" && cmake --build --preset "$preset"; then
        return 0
    fi
    echo "FAILED: the $preset build"
    failed=$((failed + 1))
    return 1
}

echo "== Style: clang-format and shellcheck"
# Found by name, not asked of git: a copy of the tree without its history is checked the same.
if find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -exec clang-format --dry-run -Werror {} + &&
    find scripts tests bench src -name '*.sh' -exec shellcheck -x .ci/run {} +; then
    passed=$((passed + 1))
else
    echo "FAILED: the style check (clang-format -i FILE mends the C++)"
    failed=$((failed + 1))
fi

echo "== Debug build, warnings as errors"
build dev && run_ctest dev

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
build asan && run_ctest asan

echo "== Release build: its Debian package and the program's hardening"
if build release; then
    if tests/install/check_package.sh build/release; then
        passed=$((passed + 1))
    else
        echo "FAILED: the package check"
        failed=$((failed + 1))
    fi
fi

if [ -x fuzz/run ]; then
    echo "== Fuzzers"
    log=$(mktemp)
    fuzz/run "${FUZZ_SECONDS:-30}" 2>&1 | tee "$log"
    ok=$(grep -c -E '^fuzz_[a-z_]+: ok,' "$log")
    findings=$(grep -c -E '^fuzz_[a-z_]+: FINDING' "$log")
    passed=$((passed + ok))
    failed=$((failed + findings))
    if [ $((ok + findings)) -eq 0 ]; then
        echo "FAILED: the fuzzers did not build or run"
        failed=$((failed + 1))
    fi
    rm -f "$log"
fi

for test in "${not_run[@]}"; do
    echo "not counted: $test, skipped"
done
echo "suite: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
