#include "tools/bench_sweep.h"

#include <cstring>

#include "app/camera.h"
#include "app/model_scene.h"
#include "app/quote.h"
#include "tools/bench_counts.h"
#include "tools/bench_draw.h"
#include "tools/bench_llvmpipe.h"
#include "tools/bench_load.h"
#include "tools/bench_stats.h"
#include "tools/bench_views.h"

const std::vector<FrameSize> DefaultSweepSizes = {{320, 240},   {640, 480},   {1280, 720},
                                                  {1920, 1080}, {2560, 1440}, {3840, 2160}};
const char *const SweepViewNames[SweepViewCount] = {"start", "walk"};

bool ParseSweepSizes(const std::string &text, std::vector<FrameSize> &sizes, std::string &error) {
    sizes.clear();
    size_t at = 0;
    for (;;) {
        size_t comma = text.find(',', at);
        std::string one =
            text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        FrameSize size;
        std::string why;
        if (!ParseFrameSize(one, size, why))
            return error = Quote(text, 80) + ": " + Quote(one, 40) + " " + why, false;
        sizes.push_back(size);
        if (comma == std::string::npos) return true;
        at = comma + 1;
    }
}

static SweepCell CellOf(const std::vector<double> &ns) {
    SweepCell cell;
    if (ns.empty()) return cell;
    Timing t = Summarise(ns);
    cell.have = true, cell.medianNs = t.median, cell.minNs = t.min, cell.p25Ns = t.p25;
    return cell;
}

static bool UseMode(const SweepMode &mode, std::string &error) {
    return UseBenchDrawing(
        mode.kind == SweepKind::Shipped ? DrawAsShipped : DrawInBands(mode.threads), error);
}

// Where the sweep is, for whoever shows it.
struct Place {
    const SweepOptions &options;
    const SweepRow &row;
    int sizeIndex;
    const BenchModel *model = nullptr;
    void Report(const char *what, const char *mode) const {
        if (options.progress)
            options.progress({row.size, sizeIndex, (int)options.sizes.size(), what, mode, model,
                              row.model, (int)options.models.size()});
    }
};

// llvmpipe failed: left out of the sweep altogether, with the reason kept.
static void DropLlvmpipe(SweepResult &r, const std::string &why) {
    r.haveLp = false;
    if (r.lpError.empty()) r.lpError = why;
}

// The start view in every mode, pass by pass, with llvmpipe's two between,
// so a busy spell on a shared machine falls on all of them alike. The CRC
// of each mode's last frame goes in crcs.
static bool TimeStartView(SweepResult &r, const Place &place, SweepRow &row, const BenchView &view,
                          int warmFrames, int perPass, std::vector<uint32_t> &crcs,
                          std::string &error) {
    const int64_t frequency = BenchCounterFrequency();
    std::vector<std::vector<double>> ns(r.modes.size());
    for (int pass = 0; pass < SweepPasses; pass++) {
        for (size_t m = 0; m < r.modes.size(); m++) {
            if (r.modes[m].kind == SweepKind::Llvmpipe) continue;
            place.Report(SweepViewNames[0], r.modes[m].label.c_str());
            if (!UseMode(r.modes[m], error)) return false;
            ResetView(view);
            for (int i = 0; i < warmFrames; i++) DrawViewFrame(view, i);
            for (int i = 0; i < perPass; i++)
                ns[m].push_back((double)DrawViewFrame(view, i) * 1e9 / (double)frequency);
            crcs[m] = FrameCrc(0);
        }
        // No helper threads across llvmpipe's fork.
        if (!UseBenchDrawing(DrawAsShipped, error)) return false;
        for (size_t m = 0; m < r.modes.size() && r.haveLp; m++) {
            if (r.modes[m].kind != SweepKind::Llvmpipe) continue;
            place.Report(SweepViewNames[0], r.modes[m].label.c_str());
            Timing unused;
            std::string lpError;
            if (!TimeLlvmpipeCameras({view.camera}, warmFrames, perPass, r.modes[m].threads, unused,
                                     r.lpRenderer, lpError, &ns[m]))
                DropLlvmpipe(r, lpError);
        }
    }
    for (size_t m = 0; m < r.modes.size(); m++)
        if (r.modes[m].kind != SweepKind::Llvmpipe || r.haveLp) row.cells[0][m] = CellOf(ns[m]);
    return true;
}

// The walk's first frames, in chunks: each chunk in every mode from the same
// camera, so the modes draw the same frames and share the machine's spells.
// The cameras are kept for llvmpipe to draw the same frames after.
static bool TimeWalk(const SweepResult &r, const Place &place, SweepRow &row,
                     std::vector<uint32_t> &crcs, std::vector<CameraState> &cameras,
                     std::string &error) {
    const int64_t frequency = BenchCounterFrequency();
    const BenchView &view = BenchViews[BenchViewCount - 1];
    std::vector<std::vector<double>> ns(r.modes.size());
    ResetView(view);
    for (int first = 0; first < r.walkFrames; first += SweepWalkChunk) {
        const CameraState from = Camera;
        const int end =
            first + SweepWalkChunk < r.walkFrames ? first + SweepWalkChunk : r.walkFrames;
        for (size_t m = 0; m < r.modes.size(); m++) {
            if (r.modes[m].kind == SweepKind::Llvmpipe) continue;
            place.Report(SweepViewNames[1], r.modes[m].label.c_str());
            if (!UseMode(r.modes[m], error)) return false;
            Camera = from;
            for (int i = first; i < end; i++) {
                ns[m].push_back((double)DrawViewFrame(view, i) * 1e9 / (double)frequency);
                if (m == (size_t)r.shipped) cameras.push_back(Camera);
            }
            crcs[m] = FrameCrc(0);
            if (crcs[m] != crcs[r.shipped]) row.framesAgree = false;
        }
    }
    for (size_t m = 0; m < r.modes.size(); m++)
        if (r.modes[m].kind != SweepKind::Llvmpipe) row.cells[1][m] = CellOf(ns[m]);
    return UseBenchDrawing(DrawAsShipped, error);
}

// The counting pass at this size: the pixels tested per frame of each view
// and the CRC of the frames it drew.
static bool CountRow(const std::string &program, SweepRow &row, int walkFrames,
                     std::string &error) {
    for (int view = 0; view < SweepViewCount; view++) {
        std::vector<ViewCounts> lines;
        if (!RunCountingPass(program, row.size, SweepViewNames[view], walkFrames, lines, error))
            return false;
        if (lines.size() != 1 || lines[0].name != SweepViewNames[view])
            return error = program + " printed other views than " + SweepViewNames[view], false;
        row.tested[view] = (double)lines[0].tested / lines[0].frames;
        row.countedCrc[view] = lines[0].crc;
    }
    return true;
}

std::vector<FitPoint> SweepFitPoints(const SweepResult &r, int view, int mode) {
    std::vector<FitPoint> points;
    for (const SweepRow &row : r.rows) {
        const SweepCell &c = row.cells[view][mode];
        if (row.counted && c.have) points.push_back({row.tested[view], c.medianNs});
    }
    return points;
}

static void ChooseModes(const SweepOptions &o, SweepResult &r) {
    r.modes.clear();
    r.modes.push_back({"one_thread_streaming_clear", "1 thread, shipped", SweepKind::Shipped, 1});
    r.shipped = 0;
    r.bandsOne = 1;
    for (int t = 1; t <= o.maxThreads; t++)
        r.modes.push_back({"threads_" + std::to_string(t),
                           std::to_string(t) + (t == 1 ? " thread" : " threads"), SweepKind::Bands,
                           t});
    r.bandsAll = (int)r.modes.size() - 1;
    r.lpOne = (int)r.modes.size();
    r.modes.push_back({"llvmpipe_one_thread", "llvmpipe 1 thread", SweepKind::Llvmpipe, 1});
    r.lpAll = (int)r.modes.size();
    r.modes.push_back({"llvmpipe_all_cores",
                       "llvmpipe " + std::to_string(o.maxThreads) + " threads", SweepKind::Llvmpipe,
                       o.maxThreads});
}

std::vector<CostPoint> SweepCostPoints(const SweepResult &r, int mode) {
    std::vector<CostPoint> points;
    for (const SweepRow &row : r.rows) {
        const SweepCell &c = row.cells[0][mode];
        if (row.model >= 0 && c.have)
            points.push_back({(double)r.models[row.model].triangles,
                              (double)row.size.width * row.size.height, c.medianNs});
    }
    return points;
}

// llvmpipe failed at some row: left out of every row.
static void ClearLlvmpipeCells(SweepResult &r) {
    for (SweepRow &row : r.rows)
        for (int view = 0; view < SweepViewCount; view++)
            for (size_t m = 0; m < r.modes.size(); m++)
                if (r.modes[m].kind == SweepKind::Llvmpipe && m < row.cells[view].size())
                    row.cells[view][m] = SweepCell{};
}

// The triangle sweep: each model's start view from the pose, at each size,
// in every mode and by llvmpipe; a model's frames by its size (at most the
// start view's usual count), so the largest takes seconds, not minutes.
static bool RunModelSweep(SweepOptions &o, SweepResult &r, std::string &error) {
    r.byModels = true;
    r.camera = o.camera;
    r.startFrames = 0, r.walkFrames = 0;
    r.countsError = ModelCountsNote;
    const BenchView view = {"start", o.camera, false};
    for (size_t m = 0; m < o.models.size(); m++) {
        r.models.push_back(o.models[m].info);
        UseModelScene(std::move(o.models[m].mesh));
        int frames = ModelMeasuredFrames(r.models[m].triangles);
        if (frames > SweepStartFrames) frames = SweepStartFrames;
        if (frames > o.frames) frames = o.frames;
        const int perPass = (frames + SweepPasses - 1) / SweepPasses;
        for (size_t s = 0; s < o.sizes.size(); s++) {
            ResizeBenchGraphics(o.sizes[s]);
            SweepRow row;
            row.size = o.sizes[s];
            row.model = (int)m;
            row.frames = perPass * SweepPasses, row.warmFrames = ModelWarmFrames(perPass);
            for (int v = 0; v < SweepViewCount; v++) row.cells[v].resize(r.modes.size());
            const Place place{o, row, (int)s, &r.models[m]};
            std::vector<uint32_t> crcs(r.modes.size());
            const LoadReading before = ReadLoad();
            if (!TimeStartView(r, place, row, view, row.warmFrames, perPass, crcs, error))
                return false;
            row.othersShare = OthersShare(before, ReadLoad());
            for (size_t k = 0; k < r.modes.size(); k++)
                if (r.modes[k].kind != SweepKind::Llvmpipe && crcs[k] != crcs[r.shipped])
                    row.framesAgree = false;
            r.rows.push_back(row);
        }
    }
    if (!r.haveLp) ClearLlvmpipeCells(r);
    for (size_t m = 0; m < r.modes.size(); m++)
        r.costFits.push_back(FitCost(SweepCostPoints(r, (int)m)));
    return true;
}

bool RunSweep(SweepOptions &o, SweepResult &r, std::string &error) {
    r.allCores = o.maxThreads;
    ChooseModes(o, r);
    r.haveLp = LlvmpipeBuiltIn;
    if (!r.haveLp) r.lpError = "this build has no OSMesa";
    if (!o.models.empty()) return RunModelSweep(o, r, error);
    // Whole passes: the start view's frames are timed a third at a time.
    r.startFrames = o.frames < SweepStartFrames ? o.frames : SweepStartFrames;
    r.startFrames = (r.startFrames + SweepPasses - 1) / SweepPasses * SweepPasses;
    r.walkFrames = o.frames;
    for (size_t s = 0; s < o.sizes.size(); s++) {
        ResizeBenchGraphics(o.sizes[s]);
        SweepRow row;
        row.size = o.sizes[s];
        const Place place{o, row, (int)s};
        place.Report("counting", "");
        row.counted = CountRow(o.countsProgram, row, r.walkFrames, r.countsError);
        for (int view = 0; view < SweepViewCount; view++) row.cells[view].resize(r.modes.size());
        std::vector<uint32_t> crcs(r.modes.size());
        std::vector<CameraState> cameras;
        const LoadReading before = ReadLoad();
        if (!TimeStartView(r, place, row, BenchViews[0], SweepWarmFrames,
                           r.startFrames / SweepPasses, crcs, error))
            return false;
        for (size_t m = 0; m < r.modes.size(); m++)
            if (r.modes[m].kind != SweepKind::Llvmpipe && crcs[m] != crcs[r.shipped])
                row.framesAgree = false;
        if (!TimeWalk(r, place, row, crcs, cameras, error)) return false;
        for (size_t m = 0; m < r.modes.size() && r.haveLp; m++) {
            if (r.modes[m].kind != SweepKind::Llvmpipe) continue;
            place.Report(SweepViewNames[1], r.modes[m].label.c_str());
            Timing t;
            std::string lpError;
            if (TimeLlvmpipeCameras(cameras, SweepWarmFrames, (int)cameras.size(),
                                    r.modes[m].threads, t, r.lpRenderer, lpError))
                row.cells[1][m] = {true, t.median, t.min, t.p25};
            else
                DropLlvmpipe(r, lpError);
        }
        row.othersShare = OthersShare(before, ReadLoad());
        // The counting build's start frame is the one every mode drew.
        if (row.counted && row.countedCrc[0] != HashView(BenchViews[0])) row.framesAgree = false;
        r.rows.push_back(row);
    }
    if (!r.haveLp)
        ClearLlvmpipeCells(r); // a failure at a later size leaves llvmpipe out altogether
    for (int view = 0; view < SweepViewCount; view++) {
        r.fits[view].clear();
        for (size_t m = 0; m < r.modes.size(); m++)
            r.fits[view].push_back(FitNonNegativeFixed(SweepFitPoints(r, view, (int)m)));
    }
    return true;
}

bool SweepFramesAgree(const SweepResult &r) {
    bool agree = true;
    for (const SweepRow &row : r.rows)
        agree = agree && (row.counted || r.byModels) && row.framesAgree;
    return agree;
}
