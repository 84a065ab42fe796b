// scanvane-bench --sweep: how the cost of a frame grows with its size and
// with the threads drawing it. The start view and the walk are timed at each
// size in every mode (one thread as shipped, then the bands on 1 to all
// cores) next to llvmpipe at the same size on one thread and on all cores;
// then a cost model fitted over the sizes and the threads' efficiency.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/size_choice.h"

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

struct SweepOptions {
    std::vector<FrameSize> sizes = DefaultSweepSizes;
    int frames = 600; // the walk's first frames (at most its length); the start view's, up to 120
    int maxThreads = 2;
    std::string countsProgram; // the counting pass, for the pixels tested
};

struct SweepMode {
    std::string name, label;
    int threads;   // 0: the frame cycle as shipped
    bool llvmpipe; // Mesa's llvmpipe on this many threads
};

constexpr int SweepViewCount = 2; // start, walk
struct SweepCell {
    bool have = false;
    double medianNs = 0, minNs = 0, p25Ns = 0;
};
struct SweepRow {
    FrameSize size;
    bool counted = false;
    double tested[SweepViewCount] = {}; // pixels tested per frame (walk: mean)
    uint64_t countedHash[SweepViewCount] = {};
    std::vector<SweepCell> cells[SweepViewCount]; // one per mode
    bool framesAgree = true;                      // every mode of ours drew the same frames
};

struct SweepFit {
    double fixedNs, perPixelNs, r2; // t = fixed + perPixel * tested
    bool have;
};

struct SweepResult {
    std::vector<SweepMode> modes;
    std::vector<SweepRow> rows;
    int startFrames = 0, walkFrames = 0, allCores = 2;
    bool haveLp = false;
    std::string lpRenderer, lpError;
    std::vector<SweepFit> fits[SweepViewCount]; // one per mode
};

extern const char *const SweepViewNames[SweepViewCount];

// Parses "320x240,640x480,..." (at least one size, each within the limits).
// Draws the bench's frames as RenderFrame (threads 0, as shipped) or in
// bands on that many threads; the sweep and the fixed-size run both switch so.
bool UseBenchThreads(int threads, std::string &error);

bool ParseSweepSizes(const std::string &text, std::vector<FrameSize> &sizes, std::string &error);

// Runs the sweep; leaves the renderer at the last size with no band threads.
bool RunSweep(const SweepOptions &options, SweepResult &result, std::string &error);

// Mode indices the report leans on.
int SweepModeIndex(const SweepResult &r, const char *name);

void PrintSweepTable(const SweepResult &r, const std::string &headline);
// The "sweep" object of the JSON (docs/bench-json.md).
void PrintSweepJson(const SweepResult &r);
// Time per frame against pixels (log-log), one line per mode and view, and
// against threads at each size: a standalone SVG document.
std::string SweepSvg(const SweepResult &r, const std::string &title);
