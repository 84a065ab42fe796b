#!/usr/bin/env bash
# The windowed program's failure paths, end to end: each failure the layer
# can be told to produce must show its "Graphics failure" box exactly once
# with its exact text, run no frame while the box is open, and end the
# process through the normal exit with status 1.
#   window_failures.sh WINDOW_DRIVER
set -uo pipefail
driver=${1:?usage: window_failures.sh WINDOW_DRIVER}
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-dummy}
export SCANVANE_TEST_BOXES=log
unset SCANVANE_TEST_FAIL SCANVANE_TEST_DUMP SCANVANE_DRIVER_FRAMES SCANVANE_DRIVER_FAIL_LOCK_AT

init_text="Direct 3D failed to initialise. Aborting!"
texture_text="Failed to initialize! Couldn't create back buffer texture. Aborting!"
lock_text="Failed to render! Couldn't lock the back buffer texture. Aborting!"

failures=0
# name | environment | expected status | expected box line (empty: none) | frames presented
check() {
    local name=$1 env=$2 status=$3 box=$4 frames=$5
    local err rc
    err=$(env $env timeout 60 "$driver" 2>&1 >/dev/null)
    rc=$?
    local problems=()
    [ "$rc" -eq "$status" ] || problems+=("exit status $rc, expected $status")
    local boxes
    boxes=$(grep -c '^message box "Graphics failure"' <<<"$err")
    if [ -n "$box" ]; then
        [ "$boxes" -eq 1 ] || problems+=("$boxes Graphics failure boxes, expected 1")
        grep -qxF "$box" <<<"$err" || problems+=("no box line: $box")
    else
        [ "$boxes" -eq 0 ] || problems+=("$boxes Graphics failure boxes, expected none")
    fi
    grep -q 'while the failure box was open' <<<"$err" && problems+=("a frame ran while the box was open")
    # The driver's exit handler prints this line, so it also proves the
    # process ended through the normal exit.
    grep -qxF "window_driver: $frames frames presented" <<<"$err" ||
        problems+=("expected '$frames frames presented'")
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $name"
    else
        echo "FAIL $name: ${problems[*]}"
        sed 's/^/     | /' <<<"$err" | tail -n 12
        failures=$((failures + 1))
    fi
}

check "Direct3DCreate9 fails" "SCANVANE_TEST_FAIL=create" 1 \
    "message box \"Graphics failure\" (owner: none): $init_text" 0
check "CreateDevice fails" "SCANVANE_TEST_FAIL=device" 1 \
    "message box \"Graphics failure\" (owner: none): $init_text" 0
check "CreateTexture fails" "SCANVANE_TEST_FAIL=texture" 1 \
    "message box \"Graphics failure\" (owner: none): $texture_text" 0
check "lock fails in the first frame" "SCANVANE_TEST_FAIL=lock" 1 \
    "message box \"Graphics failure\" (owner: window): $lock_text" 0
check "lock fails after 40 frames" "SCANVANE_DRIVER_FAIL_LOCK_AT=40 SCANVANE_DRIVER_KEYS=1" 1 \
    "message box \"Graphics failure\" (owner: window): $lock_text" 40
check "lock fails after 1 frame" "SCANVANE_DRIVER_FAIL_LOCK_AT=1" 1 \
    "message box \"Graphics failure\" (owner: window): $lock_text" 1
# The sound runs around them: no box, status 0 after Escape.
check "no failure, Escape after 25 frames" "SCANVANE_DRIVER_FRAMES=25 SCANVANE_DRIVER_KEYS=1" 0 "" 25

[ "$failures" -eq 0 ] || { echo "$failures failure-path checks failed"; exit 1; }
