#!/usr/bin/env bash
# The tools' all-cores mode under ThreadSanitizer: the goldens (several sizes
# among them) drawn with two, three and all hardware threads (--threads 0),
# and with more threads than a small frame has bands; soaks at sizes from a
# thumbnail to 1920x1080, odd ones among them, on 2 to 7 threads; a bad script
# line after the threads started. Any report fails the stage (halt_on_error).
set -euo pipefail
cd "$(dirname "$0")/../.."
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}"
cmake --preset tsan -DSCANVANE_TESTS=ON >/dev/null
cmake --build --preset tsan -j"$(nproc)" --target scanvane-render frame_soak
render=build/tsan/tools/scanvane-render
for threads in 2 3 0; do
    bash tests/goldens/check_goldens.sh "$render --threads $threads" | tail -n 1
done
soak=build/tsan/tests/hardening/frame_soak
$soak --frames 3000 --seed 7 --threads 2
# size threads frames: odd and even, more threads than cores, a frame of
# one band per thread or fewer (17x16 on 7), and a large one.
while read -r size threads frames; do
    $soak --frames "$frames" --seed 8 --threads "$threads" --size "$size"
done <<'SIZES'
333x197 3 1000
17x16 7 1000
641x479 4 300
1920x1080 2 60
SIZES
# Frames as one thread draws them at odd sizes, with many threads.
crcs() { "$render" "$@" | grep -o '"colour_crc32":"[0-9a-f]*","depth_crc32":"[0-9a-f]*"'; }
for size in 97x61 641x479; do
    one=$(crcs --size $size)
    many=$(crcs --size $size --threads 16)
    [ -n "$one" ] || { echo "70-threads: $size drew no frame" >&2; exit 1; }
    [ "$one" = "$many" ] || { echo "70-threads: $size on 16 threads drew another frame" >&2; exit 1; }
done
# A script that goes wrong after some frames: a clean failure, threads joined.
status=0
printf '0.01 up\n0.01\nbad line\n' | "$render" --threads 2 --script - >/dev/null 2>build/tsan/bad.err || status=$?
if [ "$status" -ne 2 ] || grep -q ThreadSanitizer build/tsan/bad.err; then
    cat build/tsan/bad.err
    echo "70-threads: a bad script line with threads running gave status $status" >&2
    exit 1
fi
echo "70-threads: ThreadSanitizer found nothing"
