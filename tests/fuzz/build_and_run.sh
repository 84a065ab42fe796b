#!/usr/bin/env bash
# Builds the core fuzz target with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in its own directory and runs it for a bounded
# time from the committed seeds.
#   tests/fuzz/build_and_run.sh [SECONDS] [BUILD_DIR] [LIBFUZZER_FLAG ...]
# SECONDS defaults to 120; BUILD_DIR to build/fuzz; further arguments go to
# the fuzzer as they are. Inputs the fuzzer finds
# go to BUILD_DIR/corpus (kept between runs), a failing input to
# BUILD_DIR/artifacts/. Exit status is the fuzzer's: non-zero on any fault.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-120}
out=${2:-$root/build/fuzz}
shift $(($# < 2 ? $# : 2))
mkdir -p "$out/corpus" "$out/artifacts"

# Same arithmetic flags as the shipped build: the fuzzer must exercise the
# code as it is compiled for real.
clang++ -std=c++17 -O1 -g -fno-omit-frame-pointer -ffp-contract=off -fno-fast-math \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" "$root"/render/*.cpp "$root/tests/fuzz/core_fuzz.cpp" -o "$out/core_fuzz"

# One worker: the machines this runs on are small and shared. The longest
# meaningful input is a flag byte, a frame size, a matrix and eight
# records: 771 bytes.
log="$out/last-run.log"
# Only the summary lines are shown; the whole output stays in the log.
set +e
"$out/core_fuzz" -max_total_time="$seconds" -max_len=771 -timeout=10 -rss_limit_mb=2048 \
    -dict="$root/tests/fuzz/core.dict" -artifact_prefix="$out/artifacts/" \
    -print_final_stats=1 "$@" "$out/corpus" "$root/tests/fuzz/corpus" 2>&1 | tee "$log" | \
    grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|==[0-9]+==|SUMMARY|core_fuzz:|stat::)'
status=${PIPESTATUS[0]}
set -e
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
echo "fuzz: ${runs:-?} executions in ${seconds}s, ${rate:-?} per second, status $status"
exit "$status"
