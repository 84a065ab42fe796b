// scanvane-bench --sweep, the measuring: how the cost of a frame grows with
// its size and with the threads drawing it. The start view and the walk are
// timed at each size in every mode (one thread as shipped, then the bands on
// 1 to all cores) next to llvmpipe at the same size on one thread and on all
// cores; then a cost model fitted over the sizes. Reporting is elsewhere
// (bench_table, bench_report_json, bench_chart).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/size_choice.h"
#include "render/mesh.h"
#include "tools/bench_fit.h"
#include "tools/bench_run.h"

// 320 x 240 to 3840 x 2160: QVGA, VGA, 720p, 1080p, 1440p, 4K.
extern const std::vector<FrameSize> DefaultSweepSizes;
constexpr int SweepWarmFrames = 10;
// Measured frames of the start view at most; the walk takes its whole
// length unless fewer frames are asked for.
constexpr int SweepStartFrames = 120;
// The start view's frames are timed in this many passes over the modes and
// the walk in chunks of this many frames, each in every mode in turn.
constexpr int SweepPasses = 3;
constexpr int SweepWalkChunk = 50;

constexpr int SweepViewCount = 2; // start, walk
extern const char *const SweepViewNames[SweepViewCount];

// Where the sweep is, for a progress line: the size (index of count), the
// view and the mode being timed, or the counting pass.
struct SweepProgress {
    FrameSize size;
    int sizeIndex, sizeCount;
    const char *what; // "counting", or a view's name
    const char *mode; // the mode's label, or "" while counting
    // The triangle sweep's model (index of count), null in the size sweep.
    const BenchModel *model = nullptr;
    int modelIndex = 0, modelCount = 0;
};

// A model of the triangle sweep, loaded; moved into the scene in its turn.
struct SweepModel {
    BenchModel info;
    Mesh mesh;
};

struct SweepOptions {
    std::vector<FrameSize> sizes = DefaultSweepSizes;
    int frames = 600; // the walk's first frames (at most its length); the start view's, up to 120
    int maxThreads = 2;
    std::string countsProgram; // the counting pass, for the pixels tested
    void (*progress)(const SweepProgress &) = nullptr;
    // Given: the triangle sweep instead, each model's start view from camera
    // at every size (no walk, no counting pass).
    std::vector<SweepModel> models;
    CameraState camera = StartCamera;
};

enum class SweepKind {
    Shipped,  // the frame cycle as shipped, one thread, streaming clear
    Bands,    // the frame's rows in bands, ordinary clear
    Llvmpipe, // Mesa's llvmpipe
};

struct SweepMode {
    std::string name, label;
    SweepKind kind;
    int threads; // 1 for the shipped frame cycle
};

struct SweepCell {
    bool have = false; // timed; a mode that failed or was not built has none
    double medianNs = 0, minNs = 0, p25Ns = 0;
};

struct SweepRow {
    FrameSize size;
    bool counted = false;
    double tested[SweepViewCount] = {}; // pixels tested per frame (walk: mean)
    uint32_t countedCrc[SweepViewCount] = {};
    std::vector<SweepCell> cells[SweepViewCount]; // one per mode
    bool framesAgree = true;                      // every mode of ours drew the same frames
    double othersShare = -1;        // others' share of the processors while timing, < 0: not known
    int model = -1;                 // the triangle sweep's model, by index into SweepResult::models
    int frames = 0, warmFrames = 0; // the triangle sweep's: per mode, and before each pass
};

struct SweepResult {
    std::vector<SweepMode> modes;
    // The modes the report compares, by index into modes.
    int shipped = 0, bandsOne = 1, bandsAll = 0, lpOne = 0, lpAll = 0;
    std::vector<SweepRow> rows;
    int startFrames = 0, walkFrames = 0, allCores = 2;
    bool haveLp = false;
    std::string lpRenderer, lpError;
    std::string countsError; // why the counting pass gave no counts, if it did not
    std::vector<LineFit> fits[SweepViewCount]; // one per mode
    // The triangle sweep: its models, its pose, and a cost fit per mode
    // (only the start view's cells are filled).
    bool byModels = false;
    std::vector<BenchModel> models;
    CameraState camera = StartCamera;
    std::vector<CostFit> costFits;
};

// Parses "320x240,640x480,..." (at least one size, each within the limits);
// the refusal is worded for after the option's name.
bool ParseSweepSizes(const std::string &text, std::vector<FrameSize> &sizes, std::string &error);

// Runs the sweep (over the models when given: they are moved into the
// scene one by one and left drawn); leaves the renderer at the last size with no band threads.
bool RunSweep(SweepOptions &options, SweepResult &result, std::string &error);

// Whether every size's modes drew the counting build's frames.
bool SweepFramesAgree(const SweepResult &r);

// The time per frame of every size of a view in a mode against its work.
std::vector<FitPoint> SweepFitPoints(const SweepResult &r, int view, int mode);
// The triangle sweep's: a mode's time per frame against triangles and pixels.
std::vector<CostPoint> SweepCostPoints(const SweepResult &r, int mode);
