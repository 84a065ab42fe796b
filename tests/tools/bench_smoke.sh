#!/usr/bin/env bash
# The benchmarks still run and still measure the frames they claim to: every
# view's frames hash to the known images (the walk: all 600 of them), the
# counting build agrees, and the work counts are the known ones. Times are
# printed, never checked. Once as shipped, once with the frames drawn in bands
# on two threads, once with the baseline span fill forced and once at an odd
# size on two threads, where the known images do not apply but the counting
# build must still draw what the timed one drew (as shipped only when
# BENCH_SMOKE_SHIPPED_ONLY=1: the sanitizer build, where a run takes a minute).
#   bench_smoke.sh SCANVANE_BENCH [SCANVANE_MICROBENCH]
set -euo pipefail
bench=$1 micro=${2:-}
variants=("" "--threads 2" "--fill sse2" "--size 333x197 --threads 2")
[ "${BENCH_SMOKE_SHIPPED_ONLY:-0}" = 1 ] && variants=("")
for args in "${variants[@]}"; do
echo "== scanvane-bench $args"
# shellcheck disable=SC2086
json=$("$bench" --json $args)
python3 - "$json" "$args" <<'PY'
import json, sys
d = json.loads(sys.argv[1])
args = sys.argv[2].split()
want = {  # name: (frame hash, frames hashed, pixels written per frame, tested)
    "start":  ("3c48d4122932db57", 1, 197286, 256296),
    "window": ("9c9aaa2961663fb5", 1, 197037, 348291),
    "wall":   ("a17d056e3db20321", 1, 196608, 526067),
    "above":  ("da9abcbac0c80703", 1, 93583, 94419),
    "walk":   ("29df98eb79e4170d", 600, 197149.7, 252874.7),
}
bad = []
views = {v["name"]: v for v in d["views"]}
if sorted(views) != sorted(want):
    bad.append("views %s, want %s" % (sorted(views), sorted(want)))
want_size = args[args.index("--size") + 1] if "--size" in args else "512x384"
if d.get("size") != want_size:
    bad.append("size %s, want %s" % (d.get("size"), want_size))
for name, (h, n, written, tested) in want.items():
    v = views.get(name)
    if v is None or want_size != "512x384":
        continue
    got = (v["frame_hash"], v["counted_frames"], round(v["pixels_written"], 1),
           round(v["pixels_tested"], 1))
    if got != (h, n, written, tested):
        bad.append("%s: got %s, want %s" % (name, got, (h, n, written, tested)))
    if not 0 < v["min_ns"] <= v["p25_ns"] <= v["median_ns"]:
        bad.append("%s: min/p25/median out of order" % name)
if d.get("counting_build_agrees") is not True:
    bad.append("the counting build drew different frames")
if not 0 < d["clear_floor_ns"] and 0 < d["clear_ns"]:
    bad.append("floors not measured")
want_threads = int(args[args.index("--threads") + 1]) if "--threads" in args else 1
if d.get("threads") != want_threads:
    bad.append("threads %s, want %s" % (d.get("threads"), want_threads))
if d.get("path") not in ("sse2", "avx2", "avx512") or ("--fill" in args and d["path"] != args[-1]):
    bad.append("span fill path %s" % d.get("path"))
modes = d.get("start_modes", {})
for mode in ("one_thread_streaming_clear", "one_thread_ordinary_clear", "all_cores"):
    m = modes.get(mode)
    if not m or not 0 < m["min_ns"] <= m["p25_ns"] <= m["median_ns"]:
        bad.append("start view mode %s not timed: %s" % (mode, m))
for b in bad:
    print("FAIL:", b)
for v in d["views"]:
    print("%-7s min %8d ns  median %8d ns" % (v["name"], v["min_ns"], v["median_ns"]))
sys.exit(1 if bad else 0)
PY
done
# Forcing a fill path that does not exist is refused, not replaced.
if "$bench" --fill avx3 >/dev/null 2>&1; then echo "FAIL: --fill avx3 accepted"; exit 1; fi
# So is a size outside the frames drawn, with status 2 and one line.
for size in 0x0 15x16 7681x16 -1x16 abc; do
    status=0
    err=$("$bench" --size "$size" 2>&1 >/dev/null) || status=$?
    if [ $status -ne 2 ] || [ "$(wc -l <<<"$err")" -ne 1 ] || ! grep -q -- "--size '$size'" <<<"$err"; then
        echo "FAIL: --size $size: status $status, $err"
        exit 1
    fi
done
if [ -n "$micro" ]; then
    "$micro" --benchmark_min_time=0.01 --benchmark_format=csv >/dev/null 2>&1 ||
        { echo "FAIL: scanvane-microbench exited with $?"; exit 1; }
    echo "ok: scanvane-microbench ran every benchmark"
fi
