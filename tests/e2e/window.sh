#!/usr/bin/env bash
# The real program in a real X server (Xvfb, no window manager): the controls
# box, dismissed with Return, before the window appears; the start frame shown
# exactly as the headless renderer draws it; door and red counter on screen;
# Up moves the view; Escape, the close button and Alt+F4 each end with 0.
# Every key pressed is released at the X server, and each run starts only
# when no key is down there (see tests/lib/keys.sh).
# Usage: tests/e2e/window.sh [BUILD-DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}

if [ -z "${SCANVANE_E2E_DISPLAY:-}" ]; then
    # -noreset: the server stays up between the runs, keeps the key state
    # the checks look at and never refuses a program while resetting.
    exec env SCANVANE_E2E_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$build"
fi

app=$build/platform/scanvane
render=$build/tools/scanvane-render
closer=$build/tests/e2e/scanvane-close-window
for f in "$app" "$render" "$closer"; do
    [ -x "$f" ] || { echo "missing $f (build first)"; exit 1; }
done

tmp=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -f "$tmp/app.err" ] && sed 's/^/  app: /' "$tmp/app.err"
    exit 1
}

source tests/lib/wait_for.sh
source tests/lib/keys.sh

# xdotool cannot match the UTF-8 titles SDL sets, xwininfo lists them all.
window_id() { xwininfo -root -tree | grep -F "\"$1\"" | awk '{print $1}' | head -1; }
has_window() { [ -n "$(window_id "$1")" ]; }
viewable() {
    local id; id=$(window_id "$1")
    [ -n "$id" ] && xwininfo -id "$id" | grep -q "Map State: IsViewable"
}
exited() { ! kill -0 "$pid" 2>/dev/null; }

Box="Scanvane V 1.02 - Controls"
Main="Scanvane V 1.02 by Quorrel"

# Starts the program once no key is down (a held key would auto-repeat into
# it), checks the window stays hidden while the controls box is open,
# dismisses the box with Return and waits for the window.
start() {
    wait_for 5 no_key_down || fail "keys down at the X server before the start: $(keys_down)"
    SCANVANE_TEST_DUMP=$tmp/shown.raw "$app" 2>"$tmp/app.err" &
    pid=$!
    wait_for 20 has_window "$Box" || fail "no controls box"
    viewable "$Main" && fail "the window is visible while the controls box is open"
    xdotool windowfocus --sync "$(window_id "$Box")" key Return
    release_keys Return
    wait_for 20 viewable "$Main" || fail "no window after the controls box"
    main=$(window_id "$Main")
}

# Waits for the program to end and checks its exit status is 0.
expect_exit_0() {
    wait_for 20 exited || fail "still running after $1"
    local status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "exit status $status after $1"
    echo "ok: $1 ends with exit status 0"
}

"$render" --raw "$tmp/start.raw" --png "$tmp/start.png" >/dev/null

# Run 1: the start frame, the screen, Up, Escape.
start
wait_for 20 cmp -s "$tmp/shown.raw" "$tmp/start.raw" || fail "the shown image is not the start frame"
echo "ok: the presented image equals the headless start frame"

red_pixels() {
    convert "$tmp/screen.png" -crop 200x20+0+0 +repage -fill black +opaque "#FF0000" \
        -fill white -opaque "#FF0000" -format "%[fx:round(mean*w*h)]" info:
}
shot() {
    import -window root -crop 512x384+0+0 +repage "$tmp/screen.png"
    [ "$(red_pixels)" -gt 30 ]
}
wait_for 20 shot || fail "no red counter text at the top-left of the screen"
# Below the text the screen shows the start frame pixel for pixel: the door,
# the house, the steps.
convert "$tmp/screen.png" -crop 512x340+0+44 +repage "$tmp/screen-below.png"
convert "$tmp/start.png" -crop 512x340+0+44 +repage "$tmp/start-below.png"
differ=$(compare -metric AE "$tmp/screen-below.png" "$tmp/start-below.png" null: 2>&1 || true)
[ "$differ" = "0" ] || fail "the screen differs from the start frame in $differ pixels"
door=$(convert "$tmp/screen.png" -format "%[hex:p{237,150}]" info:)
echo "ok: screenshot shows the start frame (door pixel #$door) and $(red_pixels) red counter pixels"

xdotool windowfocus --sync "$main" keydown Up
wait_for 20 bash -c "! cmp -s '$tmp/shown.raw' '$tmp/start.raw'" || fail "holding Up did not change the view"
release_keys Up
echo "ok: holding Up moves the view"
xdotool windowfocus --sync "$main" key Escape
release_keys Escape
expect_exit_0 "Escape"

# Run 2: the close button (a window manager's WM_DELETE_WINDOW).
start
"$closer" "$main"
expect_exit_0 "the close button"

# Run 3: Alt+F4, which without a window manager reaches the program itself.
start
xdotool windowfocus --sync "$main" key alt+F4
release_keys alt+F4
expect_exit_0 "Alt+F4"
echo "window end-to-end: all passed"
