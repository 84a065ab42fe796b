#include "tools/bench_run.h"

#include "render/bands.h"
#include "render/frustum.h"
#include "tools/bench_counts.h"
#include "tools/bench_floors.h"
#include "tools/bench_llvmpipe.h"
#include "tools/bench_load.h"

// Each round's timings, combined into figures once every round is in.
struct RoundTimings {
    std::vector<Timing> streamFloor, memsetFloor, clear, views[BenchViewCount],
        viewTicks[BenchViewCount], modes[BenchModeCount], lp[2];
};

const char ModelCountsNote[] =
    "not taken for a model: scanvane-bench-counts draws the built-in scene only";

int ModelMeasuredFrames(uint32_t triangles) {
    const double frames = ModelPassTriangles / (triangles ? triangles : 1);
    return frames < ModelLeastFrames      ? ModelLeastFrames
           : frames > BenchMeasuredFrames ? BenchMeasuredFrames
                                          : (int)frames;
}

int ModelWarmFrames(int measuredFrames) {
    return measuredFrames / 10 > 2 ? measuredFrames / 10 : 2;
}

// The floors, then every view timed.
static void MeasureViews(BenchRun &run, RoundTimings &rounds) {
    rounds.streamFloor.push_back(TimeStreamFloor(BenchMeasuredFrames));
    rounds.memsetFloor.push_back(TimeMemsetFloor(BenchMeasuredFrames));
    rounds.clear.push_back(TimeClearRenderTarget(BenchMeasuredFrames));
    for (int v = 0; v < run.viewCount; v++) {
        const BenchView &view = run.views[v];
        ResetView(view);
        for (int i = 0; i < run.warmFrames; i++) DrawViewFrame(view, i);
        ResetView(view);
        std::vector<double> ticks, ns;
        for (int i = 0; i < run.measuredFrames; i++) {
            uint32_t t = DrawViewFrame(view, i);
            ticks.push_back((double)t);
            ns.push_back((double)t * 1e9 / (double)run.frequency);
        }
        if (view.walk) run.walkNs.push_back(ns);
        rounds.views[v].push_back(Summarise(ns));
        rounds.viewTicks[v].push_back(Summarise(ticks));
    }
}

// Warm-up frames, then the measured ones of the start view, appended in ns;
// returns the last frame's CRC.
static uint32_t TimeStartView(const BenchRun &run, std::vector<double> &ns) {
    const BenchView &view = run.views[0];
    ResetView(view);
    for (int i = 0; i < run.warmFrames; i++) DrawViewFrame(view, i);
    for (int i = 0; i < run.measuredFrames; i++)
        ns.push_back((double)DrawViewFrame(view, i) * 1e9 / (double)run.frequency);
    return FrameCrc(0);
}

bool ModeAvailable(const BenchRun &run, int m) {
    return DrawingThreads(run.modes[m].drawing) <= 1 || run.haveAllCores;
}

// The start view in each mode and llvmpipe's two, pass by pass, so a busy
// spell on this shared machine falls on all of them alike.
static bool MeasureModes(const RunOptions &o, BenchRun &run, RoundTimings &rounds,
                         std::string &error) {
    std::vector<double> modeSamples[BenchModeCount], lpSamples[2];
    for (int pass = 0; pass < BenchModePasses; pass++) {
        for (int m = 0; m < BenchModeCount; m++) {
            if (!ModeAvailable(run, m)) continue;
            if (!UseBenchDrawing(run.modes[m].drawing, error)) return false;
            run.modeCrc[m] = TimeStartView(run, modeSamples[m]);
            if (run.modeCrc[m] != run.modeCrc[ModeShipped]) run.modesAgree = false;
        }
        // No helper threads across llvmpipe's fork.
        if (!UseBenchDrawing(DrawAsShipped, error)) return false;
        for (int t = 0; t < 2 && run.haveLp; t++) {
            Timing unused;
            run.haveLp = TimeLlvmpipeCameras({run.views[0].camera}, run.warmFrames,
                                             run.measuredFrames, t ? run.allCores : 1, unused,
                                             run.lpRenderer, run.lpError, &lpSamples[t]);
        }
    }
    if (!UseBenchDrawing(o.views, error)) return false;
    for (int m = 0; m < BenchModeCount; m++)
        if (ModeAvailable(run, m)) rounds.modes[m].push_back(Summarise(modeSamples[m]));
    if (run.haveLp)
        for (int t = 0; t < 2; t++) rounds.lp[t].push_back(Summarise(lpSamples[t]));
    return true;
}

int AllCoresThreads(const DrawingChoice &views) {
    const int threads = DrawingThreads(views);
    if (threads > 1) return threads;
    const int cores = ProcessorThreads();
    return cores > 1 ? cores : 2;
}

bool MeasureRounds(const RunOptions &o, BenchRun &run, std::string &error) {
    run.frequency = BenchCounterFrequency();
    run.rounds = o.repeat;
    run.model = o.model;
    run.viewCount = o.model ? 1 : BenchViewCount;
    for (int v = 0; v < BenchViewCount; v++) run.views[v] = BenchViews[v];
    if (o.model) run.views[0].camera = o.camera;
    run.warmFrames = o.warmFrames, run.measuredFrames = o.frames;
    run.allCores = AllCoresThreads(o.views);
    run.modes[ModeShipped] = {"one_thread_streaming_clear",
                              "one thread, streaming clear (as shipped)", DrawAsShipped};
    run.modes[ModeOrdinaryClear] = {"one_thread_ordinary_clear", "one thread, ordinary clear",
                                    DrawInBands(1)};
    run.modes[ModeAllCores] = {"all_cores", "all cores, ordinary clear", DrawInBands(run.allCores)};
    // A build without threads still has the one-thread figures to report.
    if (!UseBenchDrawing(run.modes[ModeAllCores].drawing, run.allCoresError))
        run.haveAllCores = false;
    if (!UseBenchDrawing(o.views, error)) return false;
    run.haveLp = LlvmpipeBuiltIn || o.llvmpipe;
    if (!LlvmpipeBuiltIn) run.lpError = "this build has no OSMesa";
    const LoadReading before = ReadLoad();
    const bool peakReset = run.model && ResetPeakResident();
    RoundTimings rounds;
    for (int r = 0; r < run.rounds; r++) {
        MeasureViews(run, rounds);
        if (!MeasureModes(o, run, rounds, error)) return false;
    }
    run.othersShare = OthersShare(before, ReadLoad());
    if (peakReset) run.peakResidentBytes = PeakResidentBytes();
    run.streamFloor = Combine(rounds.streamFloor);
    run.memsetFloor = Combine(rounds.memsetFloor);
    run.clear = Combine(rounds.clear);
    for (int v = 0; v < run.viewCount; v++) {
        run.results[v].ns = Combine(rounds.views[v]);
        run.results[v].medianTicks = Combine(rounds.viewTicks[v]).t.median;
    }
    for (int m = 0; m < BenchModeCount; m++)
        if (ModeAvailable(run, m)) run.modeTimes[m] = Combine(rounds.modes[m]);
    // A later round's failure leaves llvmpipe out altogether, not half in.
    if (run.haveLp) run.lp = Combine(rounds.lp[0]), run.lpAll = Combine(rounds.lp[1]);
    return true;
}

void CheckCounts(const RunOptions &o, BenchRun &run) {
    for (int v = 0; v < run.viewCount; v++) run.results[v].crc = HashView(run.views[v]);
    // Every mode's start frame is the start view's.
    for (int m = 0; m < BenchModeCount; m++)
        if (ModeAvailable(run, m) && run.modeCrc[m] != run.results[0].crc) run.modesAgree = false;
    if (run.model) {
        run.counted = false, run.countsError = ModelCountsNote;
        return;
    }
    std::vector<ViewCounts> lines;
    run.counted = RunCountingPass(o.countsProgram, {Screen.width, Screen.height}, nullptr,
                                  BenchMeasuredFrames, lines, run.countsError);
    int seen = 0;
    for (const ViewCounts &c : lines)
        for (int v = 0; v < BenchViewCount && run.counted; v++) {
            if (c.name != BenchViews[v].name) continue;
            ViewResult &r = run.results[v];
            r.frames = c.frames, r.tested = c.tested, r.written = c.written, r.spans = c.spans;
            r.drawn = c.drawn, r.rejected = c.rejected, r.clipped = c.clipped, r.split = c.split;
            r.countedCrc = c.crc, r.counted = true;
            seen++;
        }
    if (run.counted && seen != BenchViewCount) {
        run.counted = false;
        run.countsError = o.countsProgram + " printed " + std::to_string(seen) + " of " +
                          std::to_string(BenchViewCount) + " views";
    }
    for (const ViewResult &r : run.results)
        if (r.counted && r.countedCrc != r.crc) run.hashesAgree = false;
}
