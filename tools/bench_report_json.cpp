#include "tools/bench_report_json.h"

#include "app/version.h"
#include "render/frustum.h"
#include "tools/bench_json.h"
#include "tools/bench_views.h"

// The fields both documents start with.
static void Header(Json &j, int schemaVersion, const BenchSetting &s, const std::string &headline) {
    JsonKey(j, "schema_version"), JsonInteger(j, schemaVersion);
    JsonKey(j, "program"), JsonString(j, "scanvane-bench");
    JsonKey(j, "version"), JsonString(j, SCANVANE_VERSION);
    JsonKey(j, "headline"), JsonString(j, headline);
    JsonKey(j, "compiler"), JsonString(j, s.machine.compiler);
    JsonKey(j, "os"), JsonString(j, s.machine.os);
    JsonKey(j, "processor"), JsonString(j, s.machine.processor);
    JsonKey(j, "cpu_family"), JsonString(j, s.machine.family);
    JsonKey(j, "cpu_model"), JsonString(j, s.machine.model);
    JsonKey(j, "date"), JsonString(j, s.machine.date);
    JsonKey(j, "fill"), JsonString(j, s.fill);
}

static void Share(Json &j, double share) {
    JsonKey(j, "others_cpu_share");
    if (share < 0)
        JsonNull(j);
    else
        JsonNumber(j, share, 3);
}

// A figure's fields, each named with its unit.
static void FigureFields(Json &j, const Figure &f) {
    JsonKey(j, "min_ns"), JsonNumber(j, f.t.min, 0);
    JsonKey(j, "p25_ns"), JsonNumber(j, f.t.p25, 0);
    JsonKey(j, "median_ns"), JsonNumber(j, f.t.median, 0);
    JsonKey(j, "median_fps"), JsonNumber(j, Fps(f.t.median), 1);
    JsonKey(j, "spread"), JsonBeginObject(j);
    JsonKey(j, "min_ns"), JsonNumber(j, f.spread.min, 0);
    JsonKey(j, "median_ns"), JsonNumber(j, f.spread.median, 0);
    JsonKey(j, "max_ns"), JsonNumber(j, f.spread.max, 0);
    JsonEnd(j);
}

static void Ratio(Json &j, const char *name, bool have, double ratio) {
    JsonKey(j, name);
    if (have)
        JsonNumber(j, ratio, 3);
    else
        JsonNull(j);
}

static std::string Hex8(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", (unsigned)v);
    return text;
}

static void Work(Json &j, const ViewResult &r) {
    if (!r.counted) return JsonNull(j);
    JsonBeginObject(j);
    JsonKey(j, "frames"), JsonInteger(j, r.frames);
    const struct {
        const char *name;
        uint64_t total;
    } counts[] = {{"pixels_tested", r.tested},
                  {"pixels_written", r.written},
                  {"spans", r.spans},
                  {"triangles_drawn", r.drawn},
                  {"triangles_rejected", r.rejected},
                  {"triangles_clipped", r.clipped},
                  {"triangles_split", r.split}};
    for (const auto &c : counts) JsonKey(j, c.name), JsonNumber(j, PerFrame(c.total, r.frames), 1);
    JsonEnd(j);
}

// X,Z,HEIGHT,HEADING as --camera takes it, each number read back exactly.
static std::string CameraText(const CameraState &c) {
    char text[128];
    std::snprintf(text, sizeof text, "%.9g,%.9g,%.9g,%.9g", c.x, c.z, c.height, c.heading);
    return text;
}

// peakBytes: the run's peak resident set while drawing, < 0 not known; the
// sweep's models leave the field out (bytes = 0 is never a reading).
static void ModelFields(Json &j, const BenchModel &m, double peakBytes = 0) {
    JsonBeginObject(j);
    JsonKey(j, "file"), JsonString(j, m.file);
    JsonKey(j, "format"), JsonString(j, m.format);
    JsonKey(j, "vertices"), JsonInteger(j, m.vertices);
    JsonKey(j, "triangles"), JsonInteger(j, m.triangles);
    JsonKey(j, "load_ms"), JsonNumber(j, m.loadMs, 1);
    JsonKey(j, "placement"), JsonString(j, m.placement);
    JsonKey(j, "up"), JsonString(j, m.up);
    JsonKey(j, "shading"), JsonString(j, m.shading);
    if (peakBytes != 0) {
        JsonKey(j, "peak_resident_bytes");
        if (peakBytes > 0)
            JsonNumber(j, peakBytes, 0);
        else
            JsonNull(j);
    }
    JsonEnd(j);
}

std::string RunJson(const BenchSetting &s, const BenchRun &run) {
    Json j;
    JsonBeginObject(j);
    Header(j, RunSchemaVersion, s, RunHeadline(s, run));
    JsonKey(j, "threads"), JsonInteger(j, s.threads);
    JsonKey(j, "all_cores_threads"), JsonInteger(j, run.allCores);
    JsonKey(j, "width_px"), JsonInteger(j, Screen.width);
    JsonKey(j, "height_px"), JsonInteger(j, Screen.height);
    JsonKey(j, "rounds"), JsonInteger(j, run.rounds);
    JsonKey(j, "passes"), JsonInteger(j, BenchModePasses);
    JsonKey(j, "warmup_frames"), JsonInteger(j, run.warmFrames);
    JsonKey(j, "measured_frames"), JsonInteger(j, run.measuredFrames);
    JsonKey(j, "counter_frequency_hz"), JsonInteger(j, run.frequency);
    Share(j, run.othersShare);
    JsonKey(j, "views"), JsonBeginArray(j);
    for (int v = 0; v < run.viewCount; v++) {
        const ViewResult &r = run.results[v];
        JsonBeginObject(j);
        JsonKey(j, "name"), JsonString(j, run.views[v].name);
        FigureFields(j, r.ns);
        JsonKey(j, "median_ticks"), JsonNumber(j, r.medianTicks, 0);
        JsonKey(j, "median_vs_clear_floor"),
            JsonNumber(j, r.ns.t.median / run.streamFloor.t.median, 3);
        JsonKey(j, "median_vs_memset"), JsonNumber(j, r.ns.t.median / run.memsetFloor.t.median, 3);
        JsonKey(j, "frame_crc32"), JsonString(j, Hex8(r.crc));
        JsonKey(j, "work"), Work(j, r);
        JsonEnd(j);
    }
    JsonEnd(j);
    JsonKey(j, "floors"), JsonBeginObject(j);
    const struct {
        const char *name;
        const Figure &figure;
    } floors[] = {{"streaming_stores", run.streamFloor},
                  {"memset", run.memsetFloor},
                  {"clear_render_target", run.clear}};
    for (const auto &f : floors) {
        JsonKey(j, f.name), JsonBeginObject(j);
        FigureFields(j, f.figure);
        JsonEnd(j);
    }
    JsonKey(j, "clear_vs_streaming_floor"),
        JsonNumber(j, run.clear.t.median / run.streamFloor.t.median, 3);
    JsonEnd(j);
    JsonKey(j, "counting_build_agrees"), JsonBool(j, run.counted && run.hashesAgree);
    JsonKey(j, "camera"), JsonString(j, CameraText(run.views[0].camera));
    JsonKey(j, "model");
    if (run.model)
        ModelFields(j, run.modelInfo, run.peakResidentBytes);
    else
        JsonNull(j);
    JsonKey(j, "start_modes"), JsonBeginObject(j);
    for (int m = 0; m < BenchModeCount; m++) {
        JsonKey(j, run.modes[m].name);
        if (!ModeAvailable(run, m)) {
            JsonNull(j);
            continue;
        }
        const Figure &f = run.modeTimes[m];
        JsonBeginObject(j);
        JsonKey(j, "threads"), JsonInteger(j, DrawingThreads(run.modes[m].drawing));
        FigureFields(j, f);
        JsonKey(j, "frame_crc32"), JsonString(j, Hex8(run.modeCrc[m]));
        Ratio(j, "llvmpipe_one_thread_min_vs_min", run.haveLp, run.lp.t.min / f.t.min);
        Ratio(j, "llvmpipe_one_thread_p25_vs_p25", run.haveLp, run.lp.t.p25 / f.t.p25);
        Ratio(j, "llvmpipe_all_cores_min_vs_min", run.haveLp, run.lpAll.t.min / f.t.min);
        Ratio(j, "llvmpipe_all_cores_p25_vs_p25", run.haveLp, run.lpAll.t.p25 / f.t.p25);
        JsonEnd(j);
    }
    JsonEnd(j);
    JsonKey(j, "llvmpipe");
    if (run.haveLp) {
        JsonBeginObject(j);
        JsonKey(j, "renderer"), JsonString(j, run.lpRenderer);
        JsonKey(j, "one_thread"), JsonBeginObject(j);
        JsonKey(j, "threads"), JsonInteger(j, 1);
        FigureFields(j, run.lp);
        JsonEnd(j);
        JsonKey(j, "all_cores"), JsonBeginObject(j);
        JsonKey(j, "threads"), JsonInteger(j, run.allCores);
        FigureFields(j, run.lpAll);
        JsonEnd(j);
        JsonEnd(j);
    } else {
        JsonNull(j);
    }
    JsonEnd(j);
    return j.text + "\n";
}

static void Cell(Json &j, const SweepCell &c) {
    if (!c.have) return JsonNull(j);
    JsonBeginObject(j);
    JsonKey(j, "median_ns"), JsonNumber(j, c.medianNs, 0);
    JsonKey(j, "p25_ns"), JsonNumber(j, c.p25Ns, 0);
    JsonKey(j, "min_ns"), JsonNumber(j, c.minNs, 0);
    JsonEnd(j);
}

static void Fit(Json &j, const LineFit &f) {
    if (!f.have) return JsonNull(j);
    JsonBeginObject(j);
    JsonKey(j, "fixed_ns"), JsonNumber(j, f.fixed, 1);
    JsonKey(j, "per_pixel_tested_ns"), JsonNumber(j, f.perUnit, 4);
    JsonKey(j, "r_squared"), JsonNumber(j, f.r2, 5);
    JsonKey(j, "fixed_held_at_zero"), JsonBool(j, f.heldAtZero);
    JsonEnd(j);
}

// What both sweeps say of their modes: the threads, llvmpipe, each mode.
static void SweepModeFields(Json &j, const SweepResult &r) {
    JsonKey(j, "all_cores_threads"), JsonInteger(j, r.allCores);
    JsonKey(j, "llvmpipe_renderer");
    if (r.haveLp)
        JsonString(j, r.lpRenderer);
    else
        JsonNull(j);
    JsonKey(j, "modes"), JsonBeginArray(j);
    for (const SweepMode &m : r.modes) {
        JsonBeginObject(j);
        JsonKey(j, "name"), JsonString(j, m.name);
        JsonKey(j, "threads"), JsonInteger(j, m.threads);
        JsonEnd(j);
    }
    JsonEnd(j);
}

std::string SweepJson(const BenchSetting &s, const SweepResult &r) {
    Json j;
    JsonBeginObject(j);
    Header(j, SweepSchemaVersion, s, SweepHeadline(r, s));
    JsonKey(j, "counter_frequency_hz"), JsonInteger(j, BenchCounterFrequency());
    JsonKey(j, "sweep"), JsonBeginObject(j);
    JsonKey(j, "sweep_schema_version"), JsonInteger(j, 1);
    JsonKey(j, "warmup_frames"), JsonInteger(j, SweepWarmFrames);
    JsonKey(j, "start_frames"), JsonInteger(j, r.startFrames);
    JsonKey(j, "walk_frames"), JsonInteger(j, r.walkFrames);
    SweepModeFields(j, r);
    JsonKey(j, "sizes"), JsonBeginArray(j);
    for (const SweepRow &row : r.rows) {
        JsonBeginObject(j);
        JsonKey(j, "width_px"), JsonInteger(j, row.size.width);
        JsonKey(j, "height_px"), JsonInteger(j, row.size.height);
        JsonKey(j, "frames_agree"), JsonBool(j, row.framesAgree && row.counted);
        Share(j, row.othersShare);
        for (int view = 0; view < SweepViewCount; view++) {
            JsonKey(j, SweepViewNames[view]), JsonBeginObject(j);
            JsonKey(j, "pixels_tested");
            if (row.counted)
                JsonNumber(j, row.tested[view], 1);
            else
                JsonNull(j);
            for (size_t m = 0; m < r.modes.size(); m++)
                JsonKey(j, r.modes[m].name), Cell(j, row.cells[view][m]);
            JsonEnd(j);
        }
        JsonEnd(j);
    }
    JsonEnd(j);
    JsonKey(j, "fits"), JsonBeginObject(j);
    for (int view = 0; view < SweepViewCount; view++) {
        JsonKey(j, SweepViewNames[view]), JsonBeginObject(j);
        for (size_t m = 0; m < r.modes.size(); m++)
            JsonKey(j, r.modes[m].name), Fit(j, r.fits[view][m]);
        JsonEnd(j);
    }
    JsonEnd(j);
    JsonEnd(j);
    JsonEnd(j);
    return j.text + "\n";
}

static void CostFitFields(Json &j, const CostFit &f) {
    if (!f.have) return JsonNull(j);
    JsonBeginObject(j);
    JsonKey(j, "fixed_ns"), JsonNumber(j, f.fixed, 1);
    JsonKey(j, "per_triangle_ns"), JsonNumber(j, f.perTriangle, 4);
    JsonKey(j, "per_pixel_ns");
    if (f.byPixels)
        JsonNumber(j, f.perPixel, 5);
    else
        JsonNull(j);
    JsonKey(j, "r_squared"), JsonNumber(j, f.r2, 5);
    JsonKey(j, "fixed_held_at_zero"), JsonBool(j, f.heldAtZero);
    JsonEnd(j);
}

std::string ModelSweepJson(const BenchSetting &s, const SweepResult &r) {
    Json j;
    JsonBeginObject(j);
    Header(j, SweepSchemaVersion, s, SweepHeadline(r, s));
    JsonKey(j, "counter_frequency_hz"), JsonInteger(j, BenchCounterFrequency());
    JsonKey(j, "triangle_sweep"), JsonBeginObject(j);
    JsonKey(j, "triangle_sweep_schema_version"), JsonInteger(j, 1);
    JsonKey(j, "camera"), JsonString(j, CameraText(r.camera));
    JsonKey(j, "passes"), JsonInteger(j, SweepPasses);
    SweepModeFields(j, r);
    JsonKey(j, "models"), JsonBeginArray(j);
    for (const BenchModel &m : r.models) ModelFields(j, m);
    JsonEnd(j);
    JsonKey(j, "rows"), JsonBeginArray(j);
    for (const SweepRow &row : r.rows) {
        JsonBeginObject(j);
        JsonKey(j, "model_index"), JsonInteger(j, row.model);
        JsonKey(j, "triangles"), JsonInteger(j, r.models[row.model].triangles);
        JsonKey(j, "width_px"), JsonInteger(j, row.size.width);
        JsonKey(j, "height_px"), JsonInteger(j, row.size.height);
        JsonKey(j, "frames"), JsonInteger(j, row.frames);
        JsonKey(j, "warmup_frames"), JsonInteger(j, row.warmFrames);
        JsonKey(j, "frames_agree"), JsonBool(j, row.framesAgree);
        Share(j, row.othersShare);
        JsonKey(j, "start"), JsonBeginObject(j);
        for (size_t m = 0; m < r.modes.size(); m++)
            JsonKey(j, r.modes[m].name), Cell(j, row.cells[0][m]);
        JsonEnd(j);
        JsonEnd(j);
    }
    JsonEnd(j);
    JsonKey(j, "fits"), JsonBeginObject(j);
    for (size_t m = 0; m < r.modes.size(); m++)
        JsonKey(j, r.modes[m].name), CostFitFields(j, r.costFits[m]);
    JsonEnd(j);
    JsonEnd(j);
    JsonEnd(j);
    return j.text + "\n";
}
