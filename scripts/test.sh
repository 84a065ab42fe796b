#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test.
# Each stage is one script in tests/ci, run in name order, its output shown
# as it comes. Every stage runs even after one fails, so one run reports all
# of them; the command then fails. Each stage ends with its result and
# seconds, a long one says every 25 s that it is still running, and a table
# of all stages closes the run.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
    echo "test.sh: takes no options, got: $*" >&2
    echo "usage: bash scripts/test.sh   (installs what is missing, builds everything, runs every stage of tests/ci)" >&2
    exit 2
fi

# Under 30 s between two progress lines, with room for a loaded machine.
progress_interval=25

stages=() results=() durations=()
ticker=""
stop_ticker() {
    [ -n "$ticker" ] || return 0
    kill "$ticker" 2>/dev/null || true
    wait "$ticker" 2>/dev/null || true
    ticker=""
}
trap stop_ticker EXIT

# Prints a line every progress_interval seconds until stopped. Its sleep
# gets no output stream, so nothing left behind can hold a reader's pipe
# open after the command has ended.
start_ticker() { # stage name
    local name=$1 begin=$SECONDS
    (
        while :; do
            sleep "$progress_interval" >/dev/null 2>&1
            echo "... $name still running, $((SECONDS - begin)) s"
        done
    ) &
    ticker=$!
}

# Runs one step with its output untouched; only its status is kept.
run_stage() { # name command...
    local name=$1 begin=$SECONDS status=0 result
    shift
    echo "=== $name"
    start_ticker "$name"
    "$@" || status=$?
    stop_ticker
    if [ $status = 0 ]; then result=passed; else result="FAILED ($status)"; fi
    stages+=("$name") results+=("$result") durations+=($((SECONDS - begin)))
    echo "=== $name: $result in $((SECONDS - begin)) s"
}

run_stage install-deps bash scripts/install-deps.sh test
for stage in tests/ci/*.sh; do
    name=$(basename "$stage" .sh)
    if [ "${results[0]}" = passed ]; then
        run_stage "$name" bash "$stage"
    else
        # Without the packages every stage would fail for the same reason.
        stages+=("$name") results+=("not run") durations+=(0)
    fi
done

failed=0 not_run=0
echo "=== summary"
printf '%-16s %-12s %8s\n' stage result seconds
for i in "${!stages[@]}"; do
    printf '%-16s %-12s %8s\n' "${stages[$i]}" "${results[$i]}" "${durations[$i]}"
    case ${results[$i]} in
    passed) ;;
    "not run") not_run=$((not_run + 1)) ;;
    *) failed=$((failed + 1)) ;;
    esac
done
printf '%-16s %-12s %8s\n' total "" "$SECONDS"
if [ $failed != 0 ]; then
    skipped=""
    [ $not_run = 0 ] || skipped=", $not_run not run"
    echo "=== $failed of ${#stages[@]} stages FAILED$skipped"
    exit 1
fi
echo "=== all tests passed"
