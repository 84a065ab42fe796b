// scanvane-bench at one size, the measuring: the clear's floors, every named
// view, and the start view in three modes beside llvmpipe's, over one or
// more rounds; then the counting pass's work per view. Reporting is
// elsewhere (bench_table, bench_report_json).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/bench_draw.h"
#include "tools/bench_stats.h"
#include "tools/bench_views.h"

// The start view's modes are timed in this many interleaved passes a round.
constexpr int BenchModePasses = 3;
constexpr int MaxBenchRepeat = 100;
// A model's frames by its size: about this many triangles' worth per view
// and mode pass, at least ModelLeastFrames and at most BenchMeasuredFrames,
// so a million-triangle model is timed in seconds, not minutes.
constexpr double ModelPassTriangles = 20e6;
constexpr int ModelLeastFrames = 5;
int ModelMeasuredFrames(uint32_t triangles);
// Warm-up frames before each timing of a view or mode: a tenth of those
// measured, at least two.
int ModelWarmFrames(int measuredFrames);

struct ViewResult {
    Figure ns;
    double medianTicks = 0; // the median of the rounds' medians, in counter ticks
    int frames = 0;         // frames the counts were summed over
    uint64_t tested = 0, written = 0, spans = 0, drawn = 0, rejected = 0, clipped = 0, split = 0;
    uint32_t crc = 0, countedCrc = 0; // HashView's, here and in the counting build
    bool counted = false;
};

struct BenchMode {
    const char *name, *label;
    DrawingChoice drawing;
};
enum BenchModeIndex { ModeShipped, ModeOrdinaryClear, ModeAllCores, BenchModeCount };

struct RunOptions {
    DrawingChoice views = DrawAsShipped; // how the views are drawn (--threads)
    int repeat = 1;
    // A model is drawn (app/model_scene.h): its start view alone, from camera.
    bool model = false;
    CameraState camera = StartCamera;
    int frames = BenchMeasuredFrames, warmFrames = BenchWarmFrames;
    bool llvmpipe = false; // asked for: say why when it cannot be drawn
    std::string countsProgram;
};

// The model a run draws in place of the built-in scene, as loaded.
struct BenchModel {
    std::string file, format;
    uint32_t vertices = 0, triangles = 0;
    double loadMs = 0;
    std::string placement, up, shading; // as the options name them
};

// Everything one run measures, for either form of output.
struct BenchRun {
    int64_t frequency = 0;
    int rounds = 1;
    // The views timed: every named one, or a model's start view alone.
    bool model = false;
    BenchModel modelInfo;
    int viewCount = BenchViewCount;
    BenchView views[BenchViewCount];
    int warmFrames = BenchWarmFrames, measuredFrames = BenchMeasuredFrames;
    Figure streamFloor{}, memsetFloor{}, clear{}; // ns
    ViewResult results[BenchViewCount];
    std::vector<std::vector<double>> walkNs; // every walk frame, round by round
    bool counted = false, hashesAgree = true;
    std::string countsError;
    int allCores = 2;
    BenchMode modes[BenchModeCount]{};
    Figure modeTimes[BenchModeCount]{}; // ns
    uint32_t modeCrc[BenchModeCount]{}; // FrameCrc of each mode's last start frame
    bool modesAgree = true;             // every mode drew the start view's frame
    bool haveAllCores = true;           // false where this build has no threads
    std::string allCoresError;
    bool haveLp = false;
    Figure lp{}, lpAll{}; // ns, one thread and all cores
    std::string lpRenderer, lpError;
    double othersShare = -1; // others' share of the processors while timing, < 0: not known
    // A model's: the peak resident set while drawing it (after loading), < 0: not known.
    double peakResidentBytes = -1;
};

// The all-cores modes' threads: those of the views' bands when given (above
// one), else every hardware thread, and at least two.
int AllCoresThreads(const DrawingChoice &views);

// The counting pass is not run for a model: why, in one line.
extern const char ModelCountsNote[];

// Times every round; false with a message when the drawing cannot be set up.
bool MeasureRounds(const RunOptions &options, BenchRun &run, std::string &error);

// Untimed: the frames themselves, checked against the counting build's, and
// the work each view does from its counts.
void CheckCounts(const RunOptions &options, BenchRun &run);

// Whether mode m was timed (the all-cores mode needs threads).
bool ModeAvailable(const BenchRun &run, int m);

// Counts per frame: exact for a still view, the mean for the walk.
inline double PerFrame(uint64_t total, int frames) { return (double)total / (double)frames; }
