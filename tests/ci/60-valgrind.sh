#!/usr/bin/env bash
# valgrind memcheck over the headless renderer and the frame soak: no invalid
# reads or writes, no use of uninitialised values, no definite leaks. Any
# such error makes valgrind exit with 99 and fails the stage. Then the
# windowed program under Xvfb (run_windowed.sh builds its driver).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${SCANVANE_VALGRIND_BUILD:-build/release}
if [ "$build" = build/release ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release -j"$(nproc)" --target scanvane-render frame_soak
else
    cmake --build "$build" -j"$(nproc)" --target scanvane-render frame_soak
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
memcheck=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full
          --show-leak-kinds=definite --errors-for-leak-kinds=definite
          --track-origins=yes --quiet)

echo "memcheck: scanvane-render, start view"
line=$("${memcheck[@]}" "$build/tools/scanvane-render" --camera 40,-20,0,0)
echo "$line"
# The same image under valgrind's CPU as on the real one.
grep -q '"colour_crc32":"19f6fe9b","depth_crc32":"1bdded33"' <<<"$line" ||
    { echo "start view differs under valgrind" >&2; exit 1; }

echo "memcheck: scanvane-render, scripted walk with every output file"
"${memcheck[@]}" "$build/tools/scanvane-render" --camera 120,-40,30,300 \
    --script tests/valgrind/walk.script --png "$out/f.png" --raw "$out/f.raw" --depth "$out/f.depth"
[ -s "$out/f.png" ] && [ -s "$out/f.raw" ] && [ -s "$out/f.depth" ]

echo "memcheck: scanvane-render, script on stdin"
"${memcheck[@]}" "$build/tools/scanvane-render" --script - < tests/valgrind/walk.script >/dev/null

echo "memcheck: frame soak, 300 frames"
"${memcheck[@]}" "$build/tests/hardening/frame_soak" --frames 300 --seed 7

bash tests/valgrind/run_windowed.sh "$build"
echo "memcheck: clean"
