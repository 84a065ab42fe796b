#!/usr/bin/env bash
# The benchmarks still run and still measure the frames they claim to: every
# view's frames hash to the known images (the walk: all 600 of them), the
# counting build agrees, and the work counts are the known ones. The JSON has
# every field docs/bench-json.md documents, with its type and its unit, and
# nothing undocumented. Times are printed, never checked. Once as shipped,
# once with the frames drawn in bands on two threads over two rounds with the
# walk's frames written as CSV, once with the baseline span fill forced, and
# once at an odd size on two threads, where the known images do not apply but
# the counting build must still draw what the timed one drew (as shipped only
# when BENCH_SMOKE_SHIPPED_ONLY=1: the sanitizer build, where a run takes a
# minute). The baseline run's CSV goes into a folder removed while it
# measures: the results are printed all the same and the run fails with one
# line. Then a short sweep over two small sizes, whose JSON, fit, chart,
# progress and headings are checked (never its times), outputs that cannot be
# written refused before any work, and the program copied without its
# counting pass. With a model (BENCH_SMOKE_MODEL, the sample bunny): its
# start view from a pose, and a short triangle sweep over it and a model of
# two triangles made here.
#   bench_smoke.sh SCANVANE_BENCH [SCANVANE_MICROBENCH]
set -euo pipefail
bench=$1 micro=${2:-}
version=$(sed -n 's/^project(Scanvane VERSION \([0-9.]*\) .*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
csv=$work/walk.csv
gone=$work/gone/walk.csv
variants=("" "--threads 2 --repeat 2 --frames-csv $csv" "--fill sse2 --frames-csv $gone"
    "--size 333x197 --threads 2")
[ "${BENCH_SMOKE_SHIPPED_ONLY:-0}" = 1 ] && variants=("")
for args in "${variants[@]}"; do
echo "== scanvane-bench $args"
rm -f "$csv"
status=0
mkdir -p "$(dirname "$gone")"
# shellcheck disable=SC2086
"$bench" --json $args >"$work/out" 2>"$work/err" & pid=$!
if [[ $args == *"$gone"* ]]; then
    # Its .part is open before the work starts; the folder goes meanwhile.
    while [ ! -e "$gone.part" ] && kill -0 $pid 2>/dev/null; do sleep 0.05; done
    rm -rf "$(dirname "$gone")"
fi
wait $pid || status=$?
json=$(cat "$work/out")
if [[ $args == *"$gone"* ]]; then
    # Measured, printed, then the side file failed: status 2, one line.
    if [ $status -ne 2 ] || ! grep -q "^scanvane-bench: cannot write '$gone'" "$work/err" ||
        [ -z "$json" ]; then
        echo "FAIL: --frames-csv into a removed folder: status $status, $(cat "$work/err")"
        exit 1
    fi
elif [ $status -ne 0 ]; then
    echo "FAIL: scanvane-bench $args: status $status, $(cat "$work/err")"
    exit 1
fi
python3 - "$json" "$args" "$version" "$csv" <<'PY'
import json, os, re, sys
d = json.loads(sys.argv[1])
args, version, csv = sys.argv[2].split(), sys.argv[3], sys.argv[4]
bad = []

# The documented schema (docs/bench-json.md): field -> type.
num, integer, string, boolean = (int, float), int, str, bool
class OrNull:  # the field may also be null
    def __init__(self, want): self.want = want
timing = {"min_ns": num, "p25_ns": num, "median_ns": num, "median_fps": num,
          "spread": {"min_ns": num, "median_ns": num, "max_ns": num}}
work = {"frames": integer, "pixels_tested": num, "pixels_written": num, "spans": num,
        "triangles_drawn": num, "triangles_rejected": num, "triangles_clipped": num,
        "triangles_split": num}
view = dict(timing, name=string, median_ticks=num, median_vs_clear_floor=num,
            median_vs_memset=num, frame_crc32=string, work=work)
lp_ratios = {k: OrNull(num) for k in (
    "llvmpipe_one_thread_min_vs_min", "llvmpipe_one_thread_p25_vs_p25",
    "llvmpipe_all_cores_min_vs_min", "llvmpipe_all_cores_p25_vs_p25")}
mode = dict(timing, threads=integer, frame_crc32=string, **lp_ratios)
schema = {
    "schema_version": integer, "program": string, "version": string, "headline": string,
    "compiler": string, "os": string, "processor": string, "cpu_family": string,
    "cpu_model": string, "date": string, "fill": string, "threads": integer,
    "all_cores_threads": integer, "width_px": integer, "height_px": integer,
    "rounds": integer, "passes": integer, "warmup_frames": integer,
    "measured_frames": integer, "counter_frequency_hz": integer,
    "others_cpu_share": OrNull(num), "views": [view],
    "floors": {"streaming_stores": timing, "memset": timing, "clear_render_target": timing,
               "clear_vs_streaming_floor": num},
    "counting_build_agrees": boolean, "camera": string, "model": OrNull({}),
    "start_modes": {"one_thread_streaming_clear": mode, "one_thread_ordinary_clear": mode,
                    "all_cores": OrNull(mode)},
    "llvmpipe": OrNull({"renderer": string, "one_thread": dict(timing, threads=integer),
                        "all_cores": dict(timing, threads=integer)}),
}
# Every number names its unit (the documented suffixes) or is a count.
units = re.compile(r".*(_ns|_fps|_ticks|_hz|_px|_share|_vs_[a-z0-9_]+)$")
counts = {"schema_version", "threads", "all_cores_threads", "rounds", "passes", "warmup_frames",
          "measured_frames", "frames"} | set(work)

def check(value, want, where):
    if isinstance(want, OrNull):
        if value is None:
            return
        want = want.want
    if isinstance(want, dict):
        if not isinstance(value, dict):
            return bad.append("%s: %r is not an object" % (where, value))
        for k in sorted(set(want) - set(value)):
            bad.append("%s.%s missing" % (where, k))
        for k in sorted(set(value) - set(want)):
            bad.append("%s.%s not documented" % (where, k))
        for k in set(want) & set(value):
            check(value[k], want[k], where + "." + k)
    elif isinstance(want, list):
        if not isinstance(value, list) or not value:
            return bad.append("%s: %r is not a list" % (where, value))
        for i, item in enumerate(value):
            check(item, want[0], "%s[%d]" % (where, i))
    else:
        name = where.rsplit(".", 1)[-1]
        is_bool = isinstance(value, bool)
        if want is bool and not is_bool or want is not bool and (
                is_bool or not isinstance(value, want)):
            bad.append("%s: %r is not %s" % (where, value, want))
        if want in (num, integer) and not units.match(name) and name not in counts:
            bad.append("%s: a number whose name gives no unit" % where)

check(d, schema, "json")
if bad:  # the rest reads fields the schema promised
    print("\n".join("FAIL: " + b for b in bad))
    sys.exit(1)
timings = [v for v in d["views"]] + list(d["floors"][k] for k in (
    "streaming_stores", "memset", "clear_render_target")) + [
    d["start_modes"][m] for m in d["start_modes"] if d["start_modes"][m]]
if d["llvmpipe"]:
    timings += [d["llvmpipe"]["one_thread"], d["llvmpipe"]["all_cores"]]
for t in timings:
    s = t["spread"]
    if not 0 < t["min_ns"] <= t["p25_ns"] <= t["median_ns"] or not (
            t["min_ns"] <= s["min_ns"] <= s["median_ns"] == t["median_ns"] <= s["max_ns"]):
        bad.append("timings out of order: %s" % t)
    if abs(t["median_fps"] * t["median_ns"] / 1e9 - 1) > 0.01:
        bad.append("median_fps %s is not 1e9 / median_ns %s" % (t["median_fps"], t["median_ns"]))
if d["counter_frequency_hz"] == 1000000000 and any(
        v["median_ticks"] != v["median_ns"] for v in d["views"]):
    bad.append("median_ticks differ from median_ns on a 1 GHz counter")
# Run natively, where the build has threads: the all-cores mode is timed.
if d["start_modes"]["all_cores"] is None:
    bad.append("the all-cores mode was not timed")
if d["schema_version"] != 2 or d["program"] != "scanvane-bench" or d["version"] != version:
    bad.append("schema/program/version: %s %s %s" % (d["schema_version"], d["program"], d["version"]))
if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", d["date"]):
    bad.append("date %s is not UTC ISO 8601" % d["date"])
if not d["compiler"].strip() or not d["os"].strip() or not d["processor"].strip():
    bad.append("compiler, os or processor empty")
want_rounds = int(args[args.index("--repeat") + 1]) if "--repeat" in args else 1
if d["rounds"] != want_rounds:
    bad.append("rounds %s, want %s" % (d["rounds"], want_rounds))
if not d["headline"].startswith("scanvane-bench %s: start view " % version) or not all(
        x in d["headline"] for x in (d["processor"], "fill " + d["fill"], " fps on one thread")):
    bad.append("headline lacks the version, processor or fill: %s" % d["headline"])
if d["others_cpu_share"] is not None and not 0 <= d["others_cpu_share"] <= 1:
    bad.append("others_cpu_share %s is not a share" % d["others_cpu_share"])
if "--frames-csv" in args and csv in args:
    rows = open(csv).read().splitlines()
    want_rows = ["%d,%d" % (r, f) for r in range(1, want_rounds + 1)
                 for f in range(1, d["measured_frames"] + 1)]
    if rows[0] != "round,frame,ns" or [r.rsplit(",", 1)[0] for r in rows[1:]] != want_rows or \
            not all(r.rsplit(",", 1)[1].isdigit() and int(r.rsplit(",", 1)[1]) > 0 for r in rows[1:]):
        bad.append("--frames-csv: %d rows, first %s" % (len(rows), rows[:2]))
    if os.path.exists(csv + ".part"):
        bad.append("--frames-csv left its .part behind")
want = {  # name: (frame CRC-32, frames hashed, pixels written per frame, tested)
    "start":  ("9c3a4511", 1, 197286, 256296),
    "window": ("dd6435ea", 1, 197037, 348291),
    "wall":   ("7a12a53c", 1, 196608, 526067),
    "above":  ("bb277fd1", 1, 93583, 94419),
    "walk":   ("34c26f47", 600, 197149.7, 252874.7),
}
views = {v["name"]: v for v in d["views"]}
if sorted(views) != sorted(want):
    bad.append("views %s, want %s" % (sorted(views), sorted(want)))
want_size = args[args.index("--size") + 1] if "--size" in args else "512x384"
got_size = "%sx%s" % (d.get("width_px"), d.get("height_px"))
if got_size != want_size:
    bad.append("size %s, want %s" % (got_size, want_size))
for name, (h, n, written, tested) in want.items():
    v = views.get(name)
    if v is None or want_size != "512x384":
        continue
    got = (v["frame_crc32"], v["work"]["frames"], round(v["work"]["pixels_written"], 1),
           round(v["work"]["pixels_tested"], 1))
    if got != (h, n, written, tested):
        bad.append("%s: got %s, want %s" % (name, got, (h, n, written, tested)))
if d.get("counting_build_agrees") is not True:
    bad.append("the counting build drew different frames")
if d["model"] is not None or d["camera"] != "40,-20,0,0":
    bad.append("the built-in scene's model %s and camera %s" % (d["model"], d["camera"]))
crcs = {m: d["start_modes"][m]["frame_crc32"] for m in d["start_modes"] if d["start_modes"][m]}
if set(crcs.values()) != {views["start"]["frame_crc32"]}:
    bad.append("the start view's modes drew other frames: %s" % crcs)
want_threads = int(args[args.index("--threads") + 1]) if "--threads" in args else 1
if d.get("threads") != want_threads:
    bad.append("threads %s, want %s" % (d.get("threads"), want_threads))
if d["fill"] not in ("sse2", "avx2", "avx512") or (
        "--fill" in args and d["fill"] != args[args.index("--fill") + 1]):
    bad.append("span fill %s" % d["fill"])
for b in bad:
    print("FAIL:", b)
for v in d["views"]:
    print("%-7s min %8d ns  median %8d ns" % (v["name"], v["min_ns"], v["median_ns"]))
sys.exit(1 if bad else 0)
PY
done
# The sweep, short: two sizes (one odd), a few frames, on two threads and
# all of them; its JSON has every documented field, its modes drew the
# counting build's frames at every size, its fit and efficiency follow from
# its own figures, and the chart is written whole (never a .part).
svg=$work/sweep.svg
for threads in 2 0; do
echo "== scanvane-bench --sweep --threads $threads"
json=$("$bench" --sweep --json --sweep-sizes 64x48,97x61 --sweep-frames 6 --threads $threads --svg "$svg" \
    2>"$work/progress")
# Progress on standard error, a line per size and view here (not a terminal).
for stage in "64x48 (size 1 of 2), counting pass" "64x48 (size 1 of 2), start view" \
    "97x61 (size 2 of 2), walk view"; do
    grep -q "^scanvane-bench: sweep $stage, [0-9]* s$" "$work/progress" ||
        { echo "FAIL: no progress line for $stage:"; cat "$work/progress"; exit 1; }
done
python3 - "$json" "$version" "$svg" "$threads" <<'PY'
import json, math, os, re, sys
d = json.loads(sys.argv[1])
version, svg, threads = sys.argv[2], sys.argv[3], int(sys.argv[4])
bad = []
num, integer, string, boolean = (int, float), int, str, bool
header = {"schema_version": integer, "program": string, "version": string, "headline": string,
          "compiler": string, "os": string, "processor": string, "cpu_family": string,
          "cpu_model": string, "date": string, "fill": string, "counter_frequency_hz": integer,
          "sweep": dict}
for k, t in header.items():
    if not isinstance(d.get(k), t) or isinstance(d.get(k), bool):
        bad.append("%s: %r is not %s" % (k, d.get(k), t))
for k in sorted(set(d) - set(header)):
    bad.append("%s not documented" % k)
s = d.get("sweep") or {}
want_sweep = {"sweep_schema_version", "warmup_frames", "start_frames", "walk_frames",
              "all_cores_threads", "llvmpipe_renderer", "modes", "sizes", "fits"}
if set(s) != want_sweep:
    bad.append("sweep fields %s, want %s" % (sorted(s), sorted(want_sweep)))
if s.get("sweep_schema_version") != 1 or s.get("start_frames") != 6 or s.get("walk_frames") != 6:
    bad.append("sweep version or frames: %s" % {k: s.get(k) for k in ("sweep_schema_version", "start_frames", "walk_frames")})
cores = s.get("all_cores_threads")
if threads and cores != threads or not isinstance(cores, int) or cores < 2:
    bad.append("all_cores_threads %s with --threads %s" % (cores, threads))
names = [m["name"] for m in s.get("modes", [])]
want_names = ["one_thread_streaming_clear"] + ["threads_%d" % t for t in range(1, (cores or 0) + 1)] + \
    ["llvmpipe_one_thread", "llvmpipe_all_cores"]
if names != want_names:
    bad.append("modes %s, want %s" % (names, want_names))
sizes = [(z.get("width_px"), z.get("height_px")) for z in s.get("sizes", [])]
if sizes != [(64, 48), (97, 61)]:
    bad.append("sizes %s" % sizes)
lp = s.get("llvmpipe_renderer") is not None
for z in s.get("sizes", []):
    if z.get("frames_agree") is not True:
        bad.append("%sx%s: the modes or the counting build drew different frames" % (z.get("width_px"), z.get("height_px")))
    if set(z) != {"width_px", "height_px", "frames_agree", "others_cpu_share", "start", "walk"}:
        bad.append("size fields %s" % sorted(z))
    for view in ("start", "walk"):
        v = z.get(view, {})
        if set(v) != {"pixels_tested"} | set(names):
            bad.append("%s fields %s" % (view, sorted(v)))
        if not isinstance(v.get("pixels_tested"), num) or v["pixels_tested"] <= 0:
            bad.append("%s pixels_tested %r" % (view, v.get("pixels_tested")))
        for n in names:
            c = v.get(n)
            if c is None and (not n.startswith("llvmpipe") or lp):
                bad.append("%s %s not timed" % (view, n))
            elif c is not None and (set(c) != {"median_ns", "p25_ns", "min_ns"} or not 0 < c["min_ns"] <= c["p25_ns"] <= c["median_ns"]):
                bad.append("%s %s: %r" % (view, n, c))
fits = s.get("fits", {})
for view in ("start", "walk"):
    for n in names:
        f = fits.get(view, {}).get(n, "missing")
        if f is None and n.startswith("llvmpipe") and not lp:
            continue
        if not isinstance(f, dict) or set(f) != {"fixed_ns", "per_pixel_tested_ns", "r_squared",
                                                 "fixed_held_at_zero"}:
            bad.append("fit %s %s: %r" % (view, n, f))
            continue
        # Two sizes: the line goes through both points, unless that would make
        # the fixed part negative: then it is the best line through zero.
        pts = [(z[view]["pixels_tested"], z[view][n]["median_ns"]) for z in s["sizes"]]
        if f["fixed_ns"] < 0:
            bad.append("fit %s %s: negative fixed part %s" % (view, n, f["fixed_ns"]))
        if f["fixed_held_at_zero"]:
            through_zero = sum(x * y for x, y in pts) / sum(x * x for x, y in pts)
            if f["fixed_ns"] != 0 or abs(f["per_pixel_tested_ns"] - through_zero) > 1e-4 + 1e-3 * through_zero:
                bad.append("fit %s %s held at zero: %s, want 0 + %s" % (view, n, f, through_zero))
        else:
            for x, y in pts:
                if abs(f["fixed_ns"] + f["per_pixel_tested_ns"] * x - y) > 1e-3 * y + 2:
                    bad.append("fit %s %s misses (%s, %s)" % (view, n, x, y))
for z in s.get("sizes", []):
    share = z.get("others_cpu_share")
    if share is not None and not (isinstance(share, num) and 0 <= share <= 1):
        bad.append("others_cpu_share %r" % share)
if d.get("schema_version") != 1 or d.get("version") != version or d.get("program") != "scanvane-bench":
    bad.append("header %s %s %s" % (d.get("schema_version"), d.get("program"), d.get("version")))
text = open(svg).read() if os.path.exists(svg) else ""
if not text.startswith("<?xml") or not text.rstrip().endswith("</svg>") or \
        text.count("<polyline") < 2 * len(names) or "97x61" not in text:
    bad.append("--svg: not the whole chart (%d bytes)" % len(text))
if os.path.exists(svg + ".part"):
    bad.append("--svg left its .part behind")
for b in bad:
    print("FAIL:", b)
sys.exit(1 if bad else 0)
PY
rm -f "$svg"
done
# A model: its start view alone from the pose, in every mode, llvmpipe
# drawing it too; the document says which model and pose, and every mode drew
# the same frame. The counting pass is not run for it, and says so in one line.
model=${BENCH_SMOKE_MODEL:-}
if [ -z "$model" ] || [ ! -f "$model" ]; then
    echo "skip: no sample model (the build makes it with npm and node)"
else
    echo "== scanvane-bench --model $model"
    json=$("$bench" --json --model "$model" --size 96x64 --frames 3 --camera 40,-20,20,0 \
        2>"$work/err") || { echo "FAIL: --model: status $?, $(cat "$work/err")"; exit 1; }
    # One line on the counts; nothing else but a warning of a busy machine.
    [ "$(grep -c "^scanvane-bench: counts not taken for a model" "$work/err")" -eq 1 ] &&
        [ "$(grep -vc "^scanvane-bench: \(counts not taken\|warning: other processes\)" "$work/err")" -eq 0 ] ||
        { echo "FAIL: --model: not one line on the counts: $(cat "$work/err")"; exit 1; }
    python3 - "$json" "$model" <<'PY'
import json, sys
d, model = json.loads(sys.argv[1]), sys.argv[2]
bad = []
m = d.get("model") or {}
want = {"file": str, "format": str, "vertices": int, "triangles": int, "load_ms": (int, float),
        "placement": str, "up": str, "shading": str, "peak_resident_bytes": (int, float, type(None))}
if set(m) != set(want) or any(not isinstance(m[k], t) for k, t in want.items()):
    bad.append("model %s" % m)
elif m["file"] != model or m["format"] != "PLY" or not 0 < m["vertices"] <= 3 * m["triangles"] or \
        (m["peak_resident_bytes"] is not None and m["peak_resident_bytes"] <= 0):
    bad.append("model %s" % m)
if d.get("camera") != "40,-20,20,0":
    bad.append("camera %s" % d.get("camera"))
if [v["name"] for v in d["views"]] != ["start"] or d["views"][0]["work"] is not None:
    bad.append("views %s" % d["views"])
if d["measured_frames"] != 3 or d["counting_build_agrees"] is not False:
    bad.append("frames %s, counting %s" % (d["measured_frames"], d["counting_build_agrees"]))
crcs = {k: v["frame_crc32"] for k, v in d["start_modes"].items() if v}
if len(crcs) != 3 or set(crcs.values()) != {d["views"][0]["frame_crc32"]}:
    bad.append("the modes drew other frames: %s, view %s" % (crcs, d["views"][0]["frame_crc32"]))
if d["llvmpipe"] is not None and d["llvmpipe"]["one_thread"]["median_ns"] <= 0:
    bad.append("llvmpipe %s" % d["llvmpipe"])
if str(m.get("triangles")) not in d["headline"]:
    bad.append("headline %s" % d["headline"])
for b in bad:
    print("FAIL:", b)
sys.exit(1 if bad else 0)
PY
    # The triangle sweep over the bunny and two triangles, at one size.
    tiny=$work/two.ply
    printf 'ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\nelement face 2\nproperty list uchar int vertex_indices\nend_header\n0 0 0 255 0 0\n1 0 0 0 255 0\n1 1 0 0 0 255\n0 1 0 255 255 255\n3 0 1 2\n3 0 2 3\n' >"$tiny"
    echo "== scanvane-bench --sweep --models"
    svg=$work/triangles.svg
    json=$("$bench" --sweep --json --models "$model,$tiny" --size 80x60 --sweep-frames 3 \
        --camera 40,-20,20,0 --svg "$svg" 2>"$work/progress") ||
        { echo "FAIL: --sweep --models: status $?, $(cat "$work/progress")"; exit 1; }
    for stage in "$model (.* triangles, model 1 of 2) at 80x60, start view" \
        "$tiny (2 triangles, model 2 of 2) at 80x60, start view"; do
        grep -q "^scanvane-bench: sweep $stage, [0-9]* s$" "$work/progress" ||
            { echo "FAIL: no progress line for $stage:"; cat "$work/progress"; exit 1; }
    done
    python3 - "$json" "$svg" "$model" "$tiny" <<'PY'
import json, os, sys, xml.etree.ElementTree as ET
d, svg, files = json.loads(sys.argv[1]), sys.argv[2], sys.argv[3:]
bad = []
s = d.get("triangle_sweep") or {}
want = {"triangle_sweep_schema_version", "camera", "passes", "all_cores_threads",
        "llvmpipe_renderer", "modes", "models", "rows", "fits"}
if set(s) != want or set(d) - {"triangle_sweep"} != {
        "schema_version", "program", "version", "headline", "compiler", "os", "processor",
        "cpu_family", "cpu_model", "date", "fill", "counter_frequency_hz"}:
    bad.append("fields %s / %s" % (sorted(d), sorted(s)))
    s = {}
names = [m["name"] for m in s.get("modes", [])]
if [m["file"] for m in s.get("models", [])] != files or s.get("camera") != "40,-20,20,0":
    bad.append("models %s camera %s" % (s.get("models"), s.get("camera")))
tri = [m["triangles"] for m in s.get("models", [])]
if len(tri) != 2 or tri[1] != 2 or tri[0] <= 2:
    bad.append("triangles %s" % tri)
lp = s.get("llvmpipe_renderer") is not None
rows = s.get("rows", [])
if [(r["model_index"], r["triangles"], r["width_px"], r["height_px"]) for r in rows] != \
        [(0, tri[0], 80, 60), (1, 2, 80, 60)]:
    bad.append("rows %s" % rows)
for r in rows:
    if r["frames_agree"] is not True or r["frames"] < 3:
        bad.append("row %s: frames %s agree %s" % (r["model_index"], r["frames"], r["frames_agree"]))
    for n in names:
        c = r["start"].get(n)
        if c is None and (not n.startswith("llvmpipe") or lp):
            bad.append("%s not timed" % n)
        elif c is not None and not 0 < c["min_ns"] <= c["p25_ns"] <= c["median_ns"]:
            bad.append("%s: %s" % (n, c))
for n in names:
    f = s.get("fits", {}).get(n, "missing")
    if f is None and n.startswith("llvmpipe") and not lp:
        continue
    if not isinstance(f, dict) or set(f) != {"fixed_ns", "per_triangle_ns", "per_pixel_ns",
                                             "r_squared", "fixed_held_at_zero"}:
        bad.append("fit %s: %r" % (n, f))
        continue
    # One size: no per-pixel term; two models: the line through both, or the
    # best through zero when that would start below zero.
    pts = [(r["triangles"], r["start"][n]["median_ns"]) for r in rows]
    if f["per_pixel_ns"] is not None or f["fixed_ns"] < 0:
        bad.append("fit %s: %s" % (n, f))
    elif f["fixed_held_at_zero"]:
        through_zero = sum(x * y for x, y in pts) / sum(x * x for x, y in pts)
        if abs(f["per_triangle_ns"] - through_zero) > 1e-4 + 1e-3 * through_zero:
            bad.append("fit %s held at zero: %s, want %s" % (n, f, through_zero))
    elif any(abs(f["fixed_ns"] + f["per_triangle_ns"] * x - y) > 1e-3 * y + 2 for x, y in pts):
        bad.append("fit %s misses %s" % (n, pts))
try:
    root = ET.parse(svg).getroot()
    lines = root.findall("{http://www.w3.org/2000/svg}polyline")
    if not root.tag.endswith("svg") or len(lines) < 2 * len(names) - (0 if lp else 4):
        bad.append("--svg: %d lines for %d modes" % (len(lines), len(names)))
except Exception as e:
    bad.append("--svg: %s" % e)
if os.path.exists(svg + ".part"):
    bad.append("--svg left its .part behind")
for b in bad:
    print("FAIL:", b)
sys.exit(1 if bad else 0)
PY
    echo "ok: a model's start view and the triangle sweep"
fi
# The table, on a machine kept busy by as many spinning shells as it has
# processors: no mode's heading is cut, the headline is followed by how to
# share it, and the busy machine is named in a warning (where /proc/stat
# tells).
spinners=()
for _ in $(seq "$(nproc)"); do (while :; do :; done) & spinners+=($!); done
status=0
"$bench" --sweep --sweep-sizes 64x48,97x61 --sweep-frames 30 --threads 2 \
    >"$work/table" 2>"$work/err" || status=$?
kill "${spinners[@]}"
wait "${spinners[@]}" 2>/dev/null || true
heading=$(grep -m1 '^size ' "$work/table" || true)
for label in "1 thread, shipped" "1 thread" "2 threads" "llvmpipe 1 thread" "llvmpipe 2 threads"; do
    grep -qF " $label " <<<"$heading " || { echo "FAIL: heading cut: $heading"; exit 1; }
done
sed -n 2p "$work/table" | grep -q -- "--json" || { echo "FAIL: no line on how to share"; exit 1; }
counted=$(grep -c '^cpu[0-9]' /proc/stat 2>/dev/null || echo 0)
if [ "$counted" -gt 0 ] && [ "$counted" -le "$(nproc)" ]; then
    grep -q "^warning: other processes took" "$work/table" ||
        { echo "FAIL: no warning with every processor busy:"; head -4 "$work/table"; exit 1; }
else
    echo "skip: /proc/stat is missing or counts processors this test cannot keep busy"
fi
if [ $status -ne 0 ] || ! grep -q "every mode drew the counting build's frames: yes" "$work/table"; then
    echo "FAIL: the sweep's table: status $status, $(cat "$work/err")"
    exit 1
fi
echo "ok: the sweep's table and warning"
# Copied without its counting pass: one line naming what is missing and
# where, before any measuring, and nothing from the shell.
mkdir "$work/alone"
cp "$bench" "$work/alone/scanvane-bench"
status=0
err=$("$work/alone/scanvane-bench" --json 2>&1 >/dev/null) || status=$?
if [ $status -ne 1 ] || [ "$(wc -l <<<"$err")" -ne 1 ] ||
    ! grep -qF "scanvane-bench-counts is missing" <<<"$err" || ! grep -qF "$work/alone" <<<"$err"; then
    echo "FAIL: scanvane-bench alone: status $status, $err"
    exit 1
fi
# An output that cannot take a byte is refused first, before anything runs.
if [ -w /dev/full ]; then
    for args in "--frames-csv /dev/full" "--sweep --svg /dev/full"; do
        status=0
        # shellcheck disable=SC2086
        err=$("$work/alone/scanvane-bench" $args 2>&1 >/dev/null) || status=$?
        if [ $status -ne 2 ] || [ "$(wc -l <<<"$err")" -ne 1 ] ||
            ! grep -qF "cannot write '/dev/full'" <<<"$err"; then
            echo "FAIL: $args: status $status, $err"
            exit 1
        fi
    done
fi
echo "ok: scanvane-bench alone says what is missing; a full device is refused first"
# The sweep's own options: refused without --sweep, and bad values.
for args in "--svg $work/x.svg" "--sweep-frames 5" "--sweep --size 64x48" "--sweep --sweep-frames 0" \
    "--sweep --sweep-frames 601" "--sweep --sweep-sizes 64x48,abc" "--sweep --sweep-sizes 15x16" \
    "--sweep --svg $work" "--threads 257"; do
    status=0
    # shellcheck disable=SC2086
    err=$("$bench" $args 2>&1 >/dev/null) || status=$?
    if [ $status -ne 2 ] || [ "$(wc -l <<<"$err")" -ne 1 ]; then
        echo "FAIL: $args: status $status, $err"
        exit 1
    fi
done
[ ! -e "$work/x.svg" ] || { echo "FAIL: a refused run left x.svg"; exit 1; }
echo "ok: the sweep's JSON, chart and option errors"
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
