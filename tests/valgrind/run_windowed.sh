#!/usr/bin/env bash
# memcheck over the windowed program under Xvfb: the window driver (the same
# WinMain, shell and SDL layer as scanvane, plus an Escape after N frames and
# keys held throughout) for a few hundred frames on SDL's default renderer.
# Only what SDL, Mesa, D-Bus or X own is suppressed (sdl-mesa-x.supp).
#   run_windowed.sh BUILD_DIR [FRAMES]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:?usage: run_windowed.sh BUILD_DIR [FRAMES]}
frames=${2:-300}
driver="$build/tests/hardening/window_driver"
cmake --build "$build" -j"$(nproc)" --target window_driver >/dev/null

log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
echo "memcheck: windowed program under Xvfb, $frames frames"
# Boxes to stderr: a real one would wait for a click that never comes.
status=0
SCANVANE_TEST_BOXES=log SCANVANE_DRIVER_FRAMES="$frames" SCANVANE_DRIVER_KEYS=1 \
    xvfb-run -a -s "-screen 0 1024x768x24" \
    valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
        --show-leak-kinds=definite --errors-for-leak-kinds=definite \
        --keep-debuginfo=yes --num-callers=40 \
        --suppressions=tests/valgrind/sdl-mesa-x.supp \
        --log-file="$log/memcheck.%p.log" "$driver" 2>"$log/stderr" || status=$?
grep -h 'ERROR SUMMARY\|definitely lost:' "$log"/memcheck.*.log || true
if [ "$status" -ne 0 ] || ! grep -qxF "window_driver: $frames frames presented" "$log/stderr"; then
    echo "windowed memcheck failed (status $status)" >&2
    cat "$log/stderr" "$log"/memcheck.*.log >&2
    exit 1
fi
