#!/usr/bin/env bash
# The windowed program's failure paths, end to end: each failure the layer
# can be told to produce must show its "Graphics failure" box exactly once
# with its exact text, run no frame while the box is open, and end the
# process through the normal exit with status 1. The program itself, given
# no display or asked about itself, must answer and end at once.
#   window_failures.sh WINDOW_DRIVER PROGRAM
set -uo pipefail
driver=${1:?usage: window_failures.sh WINDOW_DRIVER PROGRAM}
program=${2:?usage: window_failures.sh WINDOW_DRIVER PROGRAM}
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


# name | environment | arguments | expected status | expected first line of
# standard output (empty: nothing) | of standard error (empty: nothing).
# Each must end by itself: a program with no visible display would otherwise
# wait for ever for a key nobody can press.
no_display="scanvane: no display to show the window on"
usage="usage: scanvane [--size WIDTHxHEIGHT|native] [--threads N] [--fill PATH]"
program_check() {
    local name=$1 env=$2 args=$3 status=$4 out_line=$5 err_line=$6
    local out err rc problems=()
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER $env timeout 20 "$program" $args 2>"$tmp_err")
    rc=$?
    # Every refusal is one line: the display libraries' own complaints
    # (Wayland's "XDG_RUNTIME_DIR is invalid") must not come before it.
    err=$(cat "$tmp_err")
    [ "$rc" -eq 124 ] && problems+=("still running after 20 s")
    [ "$rc" -eq "$status" ] || problems+=("exit status $rc, expected $status")
    if [ -n "$out_line" ]; then
        [ "$(head -n1 <<<"$out")" = "$out_line" ] || problems+=("stdout does not start with: $out_line")
    else
        [ -z "$out" ] || problems+=("unexpected stdout")
    fi
    if [ -n "$err_line" ]; then
        grep -q "^$err_line" <<<"$(head -n1 <<<"$err")" || problems+=("stderr does not start with: $err_line")
        [ "$(wc -l <<<"$err")" -eq 1 ] || problems+=("stderr has more than one line")
    else
        [ -z "$err" ] || problems+=("unexpected stderr")
    fi
    grep -q "Controls" <<<"$err" && problems+=("the controls box opened")
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $name"
    else
        echo "FAIL $name: ${problems[*]}"
        { sed 's/^/     out| /' <<<"$out"; sed 's/^/     err| /' <<<"$err"; } | tail -n 12
        failures=$((failures + 1))
    fi
}
# The span fills, as the program lists them: "sse2|avx2|avx512".
source "$(dirname "$0")/../lib/fill_paths.sh"
fills=$(fill_paths env -u DISPLAY "$program" | tr '\n' '|' | sed 's/|$//')
[ -n "$fills" ] || { echo "FAIL --help names no span fills"; failures=$((failures + 1)); }
tmp_err=$(mktemp)
trap 'rm -f "$tmp_err"' EXIT
# SCANVANE_TEST_BOXES is left set: a box opened by mistake shows on stderr.
program_check "no DISPLAY" "" "" 1 "" "$no_display"
program_check "SDL's dummy driver" "SDL_VIDEODRIVER=dummy DISPLAY=:99" "" 1 "" "$no_display"
program_check "SDL's offscreen driver" "SDL_VIDEODRIVER=offscreen" "" 1 "" "$no_display"
program_check "--help" "" "--help" 0 "$usage" ""
program_check "-h" "" "-h" 0 "$usage" ""
program_check "--version" "" "--version" 0 "Scanvane 1.02" ""
program_check "--version on a dummy driver" "SDL_VIDEODRIVER=dummy" "--version" 0 "Scanvane 1.02" ""
program_check "an unknown option" "" "--frobnicate" 2 "" "scanvane: unknown option '--frobnicate'"
program_check "a word" "" "view.png" 2 "" "scanvane: unknown option 'view.png'"
program_check "a value on a switch" "" "--help=yes" 2 "" "scanvane: --help takes no value"
program_check "help with a bad option" "" "--help --bad" 2 "" "scanvane: unknown option '--bad'"
# The span fill, from the option or the environment: checked before the
# controls box or any display.
no_fill="names no span fill ($(sed 's/|\([^|]*\)$/ or \1/; s/|/, /g' <<<"$fills"))"
program_check "SCANVANE_FILL=avx9" "SCANVANE_FILL=avx9" "" 2 "" "scanvane: SCANVANE_FILL: 'avx9' $no_fill"
program_check "--fill avx9" "" "--fill avx9" 2 "" "scanvane: --fill: 'avx9' $no_fill"
program_check "--fill beside SCANVANE_FILL" "SCANVANE_FILL=avx9" "--fill sse2 --threads 0" 1 "" "$no_display"
program_check "--fill empty" "" "--fill=" 2 "" "scanvane: --fill needs a non-empty value"
# The thread count: checked before any display is asked for.
threads_range="scanvane: --threads wants a whole number from 1 to 256, or 0 for every hardware thread"
program_check "--threads 257" "" "--threads 257" 2 "" "$threads_range; got '257'"
program_check "--threads -1" "" "--threads -1" 2 "" "$threads_range; got '-1'"
program_check "--threads two" "" "--threads=two" 2 "" "$threads_range; got 'two'"
program_check "--threads empty" "" "--threads=" 2 "" "scanvane: --threads needs a non-empty value"
program_check "--threads 1000000" "" "--threads 1000000" 2 "" "$threads_range; got '1000000'"
program_check "--threads without a value" "" "--threads" 2 "" "scanvane: --threads needs a value"
program_check "--threads twice" "" "--threads 2 --threads 2" 2 "" "scanvane: --threads given twice"
program_check "--threads 0 with no display" "" "--threads 0" 1 "" "$no_display"
# The frame size, likewise; native asks the display for its work area, and
# says once that there is none.
not_a_size="is not a size: want WIDTHxHEIGHT, two whole numbers such as 1920x1080, or native"
outside="is outside the sizes drawn: width from 16 to 7680, height from 16 to 4320"
program_check "--size 0x0" "" "--size 0x0" 2 "" "scanvane: --size '0x0' $outside"
program_check "--size 15x16" "" "--size=15x16" 2 "" "scanvane: --size '15x16' $outside"
program_check "--size 7681x4320" "" "--size 7681x4320" 2 "" "scanvane: --size '7681x4320' $outside"
program_check "--size 640x99999999999" "" "--size 640x99999999999" 2 "" "scanvane: --size '640x99999999999' $outside"
program_check "--size -640x480" "" "--size -640x480" 2 "" "scanvane: --size '-640x480' $not_a_size"
program_check "--size 640x" "" "--size 640x" 2 "" "scanvane: --size '640x' $not_a_size"
program_check "--size big" "" "--size big" 2 "" "scanvane: --size 'big' $not_a_size"
program_check "--size Native" "" "--size Native" 2 "" "scanvane: --size 'Native' $not_a_size"
program_check "--size 640*480" "" "--size 640*480" 2 "" "scanvane: --size '640\*480' $not_a_size"
program_check "--size without a value" "" "--size" 2 "" "scanvane: --size needs a value"
program_check "--size twice" "" "--size native --size 640x480" 2 "" "scanvane: --size given twice"
program_check "a bad size after a good thread count" "" "--threads 2 --size 1x1" 2 "" "scanvane: --size '1x1' $outside"
program_check "--size native with no display" "" "--size native" 1 "" "$no_display"
program_check "--size 640x480 with no display" "" "--size 640x480 --threads 2" 1 "" "$no_display"
said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 "$program" --size native 2>&1 >/dev/null |
       grep -c "no display")
if [ "$said" = 1 ]; then echo "ok   --size native with no display says so once"
else echo "FAIL --size native with no display said so $said times"; failures=$((failures + 1)); fi

[ "$failures" -eq 0 ] || { echo "$failures failure-path checks failed"; exit 1; }
