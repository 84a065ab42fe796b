#include "render/bands.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

// MinGW's win32 thread model and Emscripten without pthreads have no
// std::thread: there a frame is drawn on one thread only.
#if (defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)) ||                                   \
    (defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__))
#define SCANVANE_BAND_THREADS 0
#else
#define SCANVANE_BAND_THREADS 1
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif

#include "render/pipeline.h"
#include "render/raster.h"
#include "render/render_target.h"
#include "render/span_fill.h"

static_assert(BandRowAlign == MaxGroupRows, "bands start on a whole group of the widest fill");

namespace {
// The frame's projected triangles, collected on the calling thread.
TriangleRecord *collected;
int collectedCount, collectedCapacity;
bool collectedOverflow;

// What the bands draw, in order: the collected triangles as one segment, or
// each share of the records set up on the band threads as its own.
struct Segment {
    TriangleRecord *triangles;
    int count, capacity;
};
// The records of a frame set up on the band threads are shared out in at
// most this many parts, a few per thread so that one delayed thread holds
// up little, none smaller than MinSharedRecords.
constexpr int MaxShares = 64, SharesPerThread = 2, MinSharedRecords = 8;
Segment segments[MaxShares];
int segmentCount;
// The records being set up, and how many shares of them are done.
TriangleRecord *sharedRecords;
int sharedCount, shareCount;
std::vector<TriangleRecord> shareRoom; // grown once to the largest scene
std::atomic<int> sharesDone{0};
thread_local Segment *collectingInto;

// How tall a band is, from the frame's size and the thread count (see
// ChooseBandRows). The last band takes what is left of the frame's rows.
int helperCount, bandCount, rowsPerBand;
std::atomic<bool> stopping{false};

// The work the threads share: a job of numbered units, claimed one at a
// time through one counter whose high half numbers the job and whose low
// half is the next unit. Two slots, so that a helper that claims late (past
// the last unit of a job) reads the job it claimed from while the caller
// fills the other slot for the next one; `active` counts the helpers
// between their first and last claim of a publication, and a job ends only
// when they have all left, so no slot is rewritten under a late reader.
// Between jobs the counter stands far past any unit.
constexpr uint64_t NoUnit = 1 << 30;
constexpr int JobSlots = 2;
BandWork jobWork[JobSlots];
int jobUnits[JobSlots];
std::atomic<uint64_t> nextUnit{NoUnit};
std::atomic<int> unitsDone{0};
std::atomic<int> active{0};
uint64_t jobNumber; // the calling thread's only

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#elif SCANVANE_BAND_THREADS
    std::this_thread::yield();
#endif
}

void Collect(TriangleRecord &triangle) {
    if (collectedCount < collectedCapacity)
        collected[collectedCount++] = triangle;
    else
        collectedOverflow = true;
}

// Each thread's side walks, one per collected triangle (the first
// ResumedTriangles of them), so that its next band of a triangle goes on
// from the last instead of walking down from the top row again: on a tall
// frame cut in many bands that walk would cost more than the filling. A
// thread's walks belong to the frame numbered in walksFrame.
constexpr int ResumedTriangles = 1024;
std::vector<SideWalk> walks; // threads x ResumedTriangles, from start-up
std::vector<uint64_t> walksFrame;
uint64_t bandFrame; // written by the caller before each frame's bands

// Bands are claimed in rising order, so a thread's saved walks always lie
// above its next band.
void DrawBand(int band, int thread) {
    SideWalk *mine = &walks[(size_t)thread * ResumedTriangles];
    if (walksFrame[thread] != bandFrame) {
        walksFrame[thread] = bandFrame;
        int total = 0;
        for (int s = 0; s < segmentCount; s++) total += segments[s].count;
        for (int i = 0; i < total && i < ResumedTriangles; i++) mine[i].row = INT32_MIN;
    }
    int32_t first, end;
    ClearBand(band, first, end);
    int n = 0; // the triangle's place in the frame's order
    for (int s = 0; s < segmentCount; s++) {
        const Segment &segment = segments[s];
        for (int i = 0; i < segment.count; i++, n++) {
            TriangleRecord t = segment.triangles[i]; // the rasteriser reorders its vertices
            if (n < ResumedTriangles)
                RasteriseTriangleRowsFrom(t, first, end, mine[n]);
            else
                RasteriseTriangleRows(t, first, end);
        }
    }
}

void CollectShare(TriangleRecord &triangle) {
    Segment &segment = *collectingInto;
    if (segment.count == segment.capacity) {
        // Cannot happen with the clipper as it is (see CollectedPerRecord).
        std::fprintf(stderr, "scanvane: more than %d projected triangles from %d records\n",
                     segment.capacity, segment.capacity / CollectedPerRecord);
        std::abort();
    }
    segment.triangles[segment.count++] = triangle;
}

// The first units set up a share of the records each; the rest are the
// bands, which start once every share is in (units are claimed in rising
// order, so the shares are all taken by then and none waits on a band).
void SetUpOrDrawBand(int unit, int thread) {
    if (unit >= shareCount) {
        while (sharesDone.load(std::memory_order_acquire) < shareCount) Pause();
        return DrawBand(unit - shareCount, thread);
    }
    const int first = (int)((int64_t)sharedCount * unit / shareCount);
    const int end = (int)((int64_t)sharedCount * (unit + 1) / shareCount);
    Segment &segment = segments[unit];
    segment = {&shareRoom[(size_t)first * CollectedPerRecord], 0,
               (end - first) * CollectedPerRecord};
    collectingInto = &segment;
    for (int i = first; i < end; i++) {
        sharedRecords[i].clipFlags = 0;
        DrawTriangle(sharedRecords[i], true);
    }
    sharesDone.fetch_add(1, std::memory_order_release);
}

// Claims units until none are left in the job being run. A helper that
// comes late finds the counter past the last unit and goes back to waiting.
void RunClaimedUnits(int thread) {
    for (;;) {
        const uint64_t claim = nextUnit.fetch_add(1, std::memory_order_seq_cst);
        const int slot = (int)((claim >> 32) % JobSlots), unit = (int)(uint32_t)claim;
        if (unit >= jobUnits[slot]) return;
        jobWork[slot](unit, thread);
        unitsDone.fetch_add(1, std::memory_order_release);
    }
}

#if SCANVANE_BAND_THREADS
// Between frames a helper spins this many times (a few hundred microseconds)
// before it sleeps, so back-to-back frames find it awake.
constexpr int SpinsBeforeSleep = 20000;

std::atomic<uint64_t> publishedFrame{0};
std::thread helpers[MaxBandThreads - 1];
std::mutex wakeMutex;
std::condition_variable wake;

// seen: the last frame published before this helper started; thread: its
// number, 1 up (the caller draws as 0).
void HelperLoop(uint64_t seen, int thread) {
    for (;;) {
        int spins = 0;
        while (publishedFrame.load(std::memory_order_acquire) == seen &&
               !stopping.load(std::memory_order_acquire) && spins < SpinsBeforeSleep)
            Pause(), spins++;
        if (publishedFrame.load(std::memory_order_acquire) == seen) {
            std::unique_lock<std::mutex> lock(wakeMutex);
            wake.wait(lock, [&] {
                return stopping.load(std::memory_order_acquire) ||
                       publishedFrame.load(std::memory_order_acquire) != seen;
            });
        }
        if (stopping.load(std::memory_order_acquire)) return;
        seen = publishedFrame.load(std::memory_order_acquire);
        active.fetch_add(1, std::memory_order_seq_cst);
        RunClaimedUnits(thread);
        active.fetch_sub(1, std::memory_order_release);
    }
}

bool StartHelper(int i, std::string &error) {
    try {
        helpers[i] = std::thread(HelperLoop, publishedFrame.load(std::memory_order_acquire), i + 1);
        return true;
    } catch (const std::system_error &e) {
        return error = std::string("cannot start a drawing thread: ") + e.what(), false;
    }
}

void StopHelpers() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        stopping.store(true, std::memory_order_release);
    }
    wake.notify_all();
    for (int i = 0; i < helperCount; i++)
        if (helpers[i].joinable()) helpers[i].join();
}

void WakeHelpers() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex);
        publishedFrame.fetch_add(1, std::memory_order_release);
    }
    wake.notify_all();
}
#else
bool StartHelper(int, std::string &error) {
    return error = "this build draws on one thread only (its C++ library has no threads)", false;
}
void StopHelpers() {}
void WakeHelpers() {}
#endif
} // namespace

bool StartBandThreads(int threads, std::string &error) {
    if (threads < 1 || threads > MaxBandThreads) {
        error = "a frame is drawn by 1 to " + std::to_string(MaxBandThreads) + " threads, not " +
                std::to_string(threads);
        return false;
    }
    StopBandThreads();
    static bool registered = false;
    if (!registered) registered = std::atexit(StopBandThreads) == 0;
    stopping.store(false);
    // The frame's size is fixed by now (the graphics start first).
    rowsPerBand = ChooseBandRows(Target.width, Target.height, threads);
    walks.assign((size_t)threads * ResumedTriangles, SideWalk{});
    walksFrame.assign((size_t)threads, ~(uint64_t)0);
    bandCount = (Target.height + rowsPerBand - 1) / rowsPerBand;
    for (int i = 0; i < threads - 1; i++) {
        if (!StartHelper(i, error)) {
            StopBandThreads();
            return false;
        }
        helperCount = i + 1;
    }
    return true;
}

void StopBandThreads() {
    StopHelpers();
    helperCount = 0;
}

int ChooseBandRows(int32_t width, int32_t height, int threads) {
    const int64_t rowBytes = (int64_t)width * BandBytesPerPixel;
    int64_t rows = BandCacheBytes / rowBytes;
    const int64_t shared =
        ((int64_t)height + threads * BandsPerThread - 1) / (threads * BandsPerThread);
    if (shared < rows) rows = shared;
    if (rows < MinBandRows) rows = MinBandRows;
    rows = (rows + BandRowAlign - 1) / BandRowAlign * BandRowAlign;
    return rows < height ? (int)rows : (int)height;
}

int ProcessorThreads() {
#if SCANVANE_BAND_THREADS
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n > (unsigned)MaxBandThreads ? MaxBandThreads : (int)n;
#else
    return 1;
#endif
}

void BeginCollectingTriangles(TriangleRecord *room, int capacity) {
    collected = room;
    collectedCapacity = capacity;
    collectedCount = 0;
    collectedOverflow = false;
    ProjectedSink = Collect;
}

void EndCollectingTriangles() {
    ProjectedSink = nullptr;
    if (collectedOverflow) {
        // Cannot happen with the clipper as it is; losing triangles silently
        // would draw a wrong frame.
        std::fprintf(stderr, "scanvane: more than %d projected triangles in one frame\n",
                     collectedCapacity);
        std::abort();
    }
}

void RunOnBandThreads(int units, BandWork work) {
    // The job is written before the counter is reset and the job published;
    // the helpers read it after claiming a unit.
    const int slot = (int)((jobNumber + 1) % JobSlots);
    jobWork[slot] = work;
    jobUnits[slot] = units;
    unitsDone.store(0, std::memory_order_relaxed);
    jobNumber = (jobNumber + 1) & 0xffffffff;
    nextUnit.store(jobNumber << 32, std::memory_order_seq_cst);
    if (helperCount > 0) WakeHelpers();
    RunClaimedUnits(0);
    while (unitsDone.load(std::memory_order_acquire) < units) Pause();
    nextUnit.store(jobNumber << 32 | NoUnit, std::memory_order_seq_cst);
    while (active.load(std::memory_order_seq_cst) > 0) Pause();
}

int BandThreadCount() { return helperCount + 1; }
int BandCount() { return bandCount; }
int BandRows() { return rowsPerBand; }

void ClearBand(int band, int32_t &first, int32_t &end) {
    first = band * rowsPerBand;
    end = first + rowsPerBand < Target.height ? first + rowsPerBand : Target.height;
    const int32_t at = first * Target.width, pixels = (end - first) * Target.width;
    ClearRenderTargetCached(pixels, Target.colour + at, Target.depth + at);
}

void DrawCollectedInBands() {
    bandFrame++;
    segments[0] = {collected, collectedCount, collectedCapacity};
    segmentCount = 1;
    RunOnBandThreads(bandCount, DrawBand);
}

void DrawRecordsInBands(TriangleRecord *records, int count) {
    if ((size_t)count * CollectedPerRecord > shareRoom.size())
        shareRoom.resize((size_t)count * CollectedPerRecord);
    int shares = BandThreadCount() * SharesPerThread;
    if (shares > count / MinSharedRecords) shares = count / MinSharedRecords;
    if (shares > MaxShares) shares = MaxShares;
    if (shares < 1) shares = 1;
    sharedRecords = records, sharedCount = count, shareCount = shares;
    segmentCount = shares;
    sharesDone.store(0, std::memory_order_relaxed);
    bandFrame++;
    const ProjectedTriangleSink sink = ProjectedSink;
    ProjectedSink = CollectShare;
    RunOnBandThreads(shares + bandCount, SetUpOrDrawBand);
    ProjectedSink = sink;
}
