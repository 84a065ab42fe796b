#!/usr/bin/env bash
# The tools' all-cores mode under ThreadSanitizer: the goldens (several sizes
# among them) drawn with two and three threads, soaks at the standard and an
# odd size and a bad script line after the threads started. Any report fails the stage (halt_on_error).
set -euo pipefail
cd "$(dirname "$0")/../.."
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}"
cmake --preset tsan -DSCANVANE_TESTS=ON >/dev/null
cmake --build --preset tsan -j"$(nproc)" --target scanvane-render frame_soak
render=build/tsan/tools/scanvane-render
for threads in 2 3; do
    bash tests/goldens/check_goldens.sh "$render --threads $threads" | tail -n 1
done
build/tsan/tests/hardening/frame_soak --frames 3000 --seed 7 --threads 2
build/tsan/tests/hardening/frame_soak --frames 1000 --seed 8 --threads 3 --size 333x197
# A script that goes wrong after some frames: a clean failure, threads joined.
status=0
printf '0.01 up\n0.01\nbad line\n' | "$render" --threads 2 --script - >/dev/null 2>build/tsan/bad.err || status=$?
if [ "$status" -ne 2 ] || grep -q ThreadSanitizer build/tsan/bad.err; then
    cat build/tsan/bad.err
    echo "70-threads: a bad script line with threads running gave status $status" >&2
    exit 1
fi
echo "70-threads: ThreadSanitizer found nothing"
