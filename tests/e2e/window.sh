#!/usr/bin/env bash
# The real program in a real X server (Xvfb, no window manager): the controls
# box, dismissed with Return, before the window appears; the start frame shown
# exactly as the headless renderer draws it; door and red counter on screen;
# Up moves the view; Escape, the close button and Alt+F4 each end with 0.
# Then the options: a chosen odd size on two threads shown pixel for pixel,
# and the native size following resizes (to a tiny window, and while
# unmapped as a minimised window is).
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
start() { # [program options]
    wait_for 5 no_key_down || fail "keys down at the X server before the start: $(keys_down)"
    rm -f "$tmp/shown.raw"
    SCANVANE_TEST_DUMP=$tmp/shown.raw "$app" "$@" 2>"$tmp/app.err" &
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

# Run 4: a chosen size on two threads, shown pixel for pixel: the presented
# image is the headless renderer's frame at that size, and the window's
# client area has that size.
"$render" --size 333x197 --raw "$tmp/odd.raw" --png "$tmp/odd.png" >/dev/null
start --size 333x197 --threads 2
wait_for 20 cmp -s "$tmp/shown.raw" "$tmp/odd.raw" || fail "--size 333x197 --threads 2: the shown image is not the 333x197 frame"
client_size() { xwininfo -id "$main" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
[ "$(client_size)" = 333x197 ] || fail "--size 333x197: the window is $(client_size)"
import -window root -crop 333x153+0+44 +repage "$tmp/screen-odd.png"
convert "$tmp/odd.png" -crop 333x153+0+44 +repage "$tmp/odd-below.png"
differ=$(compare -metric AE "$tmp/screen-odd.png" "$tmp/odd-below.png" null: 2>&1 || true)
[ "$differ" = "0" ] || fail "--size 333x197: the screen differs from the frame in $differ pixels"
echo "ok: --size 333x197 --threads 2 shows the 333x197 frame pixel for pixel"
xdotool windowfocus --sync "$main" key Escape
release_keys Escape
expect_exit_0 "Escape at 333x197"

# Run 5: the native size. The frame is the client area; after a resize it
# starts again at the new size with the camera where it was; a tiny window
# draws the smallest frame; an unmapped (minimised) window and its return
# do not end it.
shown_pixels() { echo $(( $(stat -c %s "$tmp/shown.raw" 2>/dev/null || echo 0) / 4 )); }
shows_size() { [ "$(shown_pixels)" = "$1" ]; }
start --size native --threads 2
size=$(client_size)
"$render" --size "$size" --raw "$tmp/native.raw" >/dev/null
wait_for 20 cmp -s "$tmp/shown.raw" "$tmp/native.raw" || fail "--size native: the shown image is not the $size frame"
echo "ok: --size native draws the start frame at the client area's size ($size)"
xdotool windowfocus --sync "$main" keydown Up
wait_for 20 bash -c "! cmp -s '$tmp/shown.raw' '$tmp/native.raw'" || { release_keys Up; fail "Up did not move the view"; }
release_keys Up
xdotool windowsize "$main" 400 300
wait_for 20 shows_size 120000 || fail "after a resize to 400x300 the frame is $(shown_pixels) pixels"
[ "$(client_size)" = 400x300 ] || fail "the window is $(client_size) after the resize"
"$render" --size 400x300 --raw "$tmp/start400.raw" >/dev/null
cmp -s "$tmp/shown.raw" "$tmp/start400.raw" && fail "after the resize the camera is back at the start"
echo "ok: a resize to 400x300 starts the frame again at that size, the camera kept"
xdotool windowsize "$main" 5 5
wait_for 20 shows_size 256 || fail "a 5x5 window shows $(shown_pixels) pixels, want the 16x16 frame"
echo "ok: a 5x5 window draws the smallest frame, 16x16"
# Unmapped, as a minimised window is; resized meanwhile, it takes the new
# size once it is back.
xdotool windowunmap --sync "$main"
xdotool windowsize "$main" 200 150
xdotool windowmap --sync "$main"
wait_for 20 shows_size 30000 || fail "after unmapping, resizing and mapping the frame is $(shown_pixels) pixels"
echo "ok: an unmapped window, resized meanwhile, comes back at its new size"
xdotool windowfocus --sync "$main" key Escape
release_keys Escape
expect_exit_0 "Escape at the native size"
echo "window end-to-end: all passed"
