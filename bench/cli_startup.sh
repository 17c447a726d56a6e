#!/usr/bin/env bash
# Measures what one call of tessivo-cli costs, the whole process from exec to exit, beside a
# bare C++ program that reads a line from standard input and prints it, built with the same
# flags (Release, the bench preset). Both are spawned directly, without a shell, and read the
# same key line from a file. Target: tessivo-cli <= 1.5 x the floor (median).
#
#   bench/cli_startup.sh [RUNS]   RUNS interleaved calls of each (default 1000);
#                                 writes bench/results/cli_startup.json
#
# TESSIVO_BENCH_BUILD_DIR picks the build folder (default build/bench, the bench preset's own).
set -euo pipefail
export LC_ALL=C

repo=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-1000}
build=${TESSIVO_BENCH_BUILD_DIR:-$repo/build/bench}
"$repo/scripts/setup.sh" bench

cd "$repo"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake --preset bench -B "$build"
fi
cmake --build "$build" --target tessivo-cli tessivo_line_floor tessivo_call_timer

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'Ab3$\n' >"$work/key" # the example's key, no one's secret

echo "== tessivo-cli beside the floor: $runs calls of each, interleaved"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
"$build/bench/tessivo_call_timer" "$runs" "$work/key" \
    "$build/src/tessivo-cli" -l 14 google.it mario -- "$build/bench/tessivo_line_floor" \
    >"$work/calls.txt"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

field() { # field PROGRAM NAME: NAME=value on PROGRAM's line
    sed -n "/\/$1 /s/.* $2=\([0-9.]*\).*/\1/p" "$work/calls.txt"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
cli_median=$(field tessivo-cli median_us)
cli_mean=$(field tessivo-cli mean_us)
cli_min=$(field tessivo-cli min_us)
floor_median=$(field tessivo_line_floor median_us)
floor_mean=$(field tessivo_line_floor mean_us)
floor_min=$(field tessivo_line_floor min_us)
median_ratio=$(ratio "$cli_median" "$floor_median")
met=$(awk -v r="$median_ratio" 'BEGIN { print (r <= 1.5) ? "true" : "false" }')

printf '%-24s %12s %12s %8s  %-18s %s\n' "one call (us)" tessivo-cli floor ratio target result
printf '%-24s %12s %12s %8s  %-18s %s\n' median "$cli_median" "$floor_median" "$median_ratio" \
    "<= 1.5 x floor" "$([ "$met" = true ] && echo met || echo MISSED)"
printf '%-24s %12s %12s %8s\n' mean "$cli_mean" "$floor_mean" "$(ratio "$cli_mean" "$floor_mean")"
printf '%-24s %12s %12s %8s\n' min "$cli_min" "$floor_min" "$(ratio "$cli_min" "$floor_min")"
echo "load average before: $load_before   after: $load_after"

mkdir -p "$repo/bench/results"
jq -n --arg date "$(date -u +%Y-%m-%dT%H:%M:%SZ)" \
    --arg commit "$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)" \
    --arg cpu "$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)" \
    --arg load_before "$load_before" --arg load_after "$load_after" --argjson runs "$runs" \
    --argjson cm "$cli_median" --argjson fm "$floor_median" --argjson cmean "$cli_mean" \
    --argjson fmean "$floor_mean" --argjson cmin "$cli_min" --argjson fmin "$floor_min" \
    --argjson ratio "$median_ratio" --argjson met "$met" \
    '{measured: {date: $date, commit: $commit, cpu: $cpu, runs: $runs,
                 load_average_before: $load_before, load_average_after: $load_after},
      call_us: {tessivo_cli: {median: $cm, mean: $cmean, min: $cmin},
                floor: {median: $fm, mean: $fmean, min: $fmin}},
      ratio_median: $ratio, target_ratio: 1.5, met: $met}' >"$repo/bench/results/cli_startup.json"
echo "written: bench/results/cli_startup.json"
