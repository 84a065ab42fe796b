#!/usr/bin/env bash
# Builds a fuzz target with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in its own directory and runs it for a bounded
# time from the committed seeds.
#   tests/fuzz/build_and_run.sh [SECONDS] [BUILD_DIR] [LIBFUZZER_FLAG ...]
# SCANVANE_FUZZ_TARGET picks the target: core (the default: the rendering
# core) or model (the model loader, on Debian's assimp; seeds in
# tests/fuzz/model_corpus).
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

target=${SCANVANE_FUZZ_TARGET:-core}
case "$target" in
core)
    sources=("$root"/render/*.cpp "$root/tests/fuzz/core_fuzz.cpp") libraries=()
    # The longest meaningful input is a flag byte, a frame size, a matrix
    # and eight records: 771 bytes.
    limits=(-max_len=771 -dict="$root/tests/fuzz/core.dict") seeds="$root/tests/fuzz/corpus" ;;
model)
    sources=("$root"/app/model_{load,format,precheck,precheck_gltf,import,light,weld,place}.cpp "$root"/app/{camera,keys}.cpp
             "$root/tests/fuzz/model_fuzz.cpp")
    libraries=(-lassimp)
    export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/fuzz/model_lsan.supp}
    limits=(-max_len=16384) seeds="$root/tests/fuzz/model_corpus" ;;
*) echo "fuzz: unknown SCANVANE_FUZZ_TARGET '$target' (core or model)" >&2; exit 2 ;;
esac
fuzzer=$out/${target}_fuzz

# Same arithmetic flags as the shipped build: the fuzzer must exercise the
# code as it is compiled for real.
echo "fuzz: building $fuzzer"
clang++ -std=c++17 -O1 -g -fno-omit-frame-pointer -ffp-contract=off -fno-fast-math \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" "${sources[@]}" -o "$fuzzer" "${libraries[@]}"

# One worker: the machines this runs on are small and shared.
log="$out/last-run.log"
# Only the summary lines are shown; the whole output stays in the log.
# Between them, a line every 20 s from the fuzzer's latest status line, so
# a long run shows it is alive and how far it got.
progress_every=20
report_progress() {
    local begin=$SECONDS last
    while :; do
        sleep "$progress_every" >/dev/null 2>&1
        last=$(tail -c 4096 "$log" | grep -a '^#[0-9]' | tail -1)
        [ -n "$last" ] || last="no status line yet"
        # "#N  pulse  cov: ... rss: 51Mb L: ..." -> "N executions, cov: ... rss: 51Mb"
        echo "fuzz: $((SECONDS - begin)) s of $seconds: $(sed -E \
            -e 's/^#([0-9]+)[[:space:]]+[A-Z]+[[:space:]]+/\1 executions, /' \
            -e 's/( rss: [0-9]+Mb).*/\1/' <<<"$last")"
    done
}
echo "fuzz: running for ${seconds}s, the whole output in $log"
: >"$log"
report_progress &
progress=$!
trap 'kill "$progress" 2>/dev/null || true' EXIT
set +e
"$fuzzer" -max_total_time="$seconds" "${limits[@]}" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$out/artifacts/" \
    -print_final_stats=1 "$@" "$out/corpus" "$seeds" 2>&1 | tee "$log" | \
    grep --line-buffered -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|==[0-9]+==|SUMMARY|[a-z]+_fuzz:|stat::)'
status=${PIPESTATUS[0]}
set -e
kill "$progress" 2>/dev/null || true
wait "$progress" 2>/dev/null || true
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
echo "fuzz: ${runs:-?} executions in ${seconds}s, ${rate:-?} per second, status $status"
exit "$status"
