#include "render/bands.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
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

// What a thread's bands draw, in order: the triangles collected on the
// calling thread, or the thread's own projection of the records.
struct Collection {
    TriangleRecord *triangles;
    int count, capacity;
    uint64_t frame; // the frame it holds, for a thread's own
};
Collection callers;
// The records of a frame drawn with DrawRecordsInBands, and each thread's
// own projection of them (room for every triangle the clipper can make).
TriangleRecord *frameRecords;
int frameRecordCount;
// From start-up: threads x MaxBandRecords x CollectedPerRecord, left
// uninitialised so that only the part a scene uses is ever made resident.
std::unique_ptr<TriangleRecord[]> ownRoom;
std::vector<Collection> own; // per thread
bool eachThreadProjects;
thread_local Collection *collectingInto;

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

void CollectOwn(TriangleRecord &triangle) {
    Collection &c = *collectingInto;
    if (c.count == c.capacity) {
        // Cannot happen with the clipper as it is (see CollectedPerRecord).
        std::fprintf(stderr, "scanvane: more than %d projected triangles from %d records\n",
                     c.capacity, frameRecordCount);
        std::abort();
    }
    c.triangles[c.count++] = triangle;
}

// The thread's own projection of the frame's records, made on its first
// band: each thread sends them all through the pipeline itself rather than
// a share, because the triangles one thread projects would have to travel
// to the other threads' caches for every band, and for a scene of a few
// dozen records that move costs more than their projection.
const Collection &OwnProjection(int thread) {
    if (!eachThreadProjects) return callers;
    Collection &c = own[thread];
    if (c.frame == bandFrame) return c;
    c.frame = bandFrame, c.count = 0;
    collectingInto = &c;
    for (int i = 0; i < frameRecordCount; i++) DrawTriangle(frameRecords[i], true);
    return c;
}

// Bands are claimed in rising order, so a thread's saved walks always lie
// above its next band.
void DrawBand(int band, int thread) {
    const Collection &c = OwnProjection(thread);
    SideWalk *mine = &walks[(size_t)thread * ResumedTriangles];
    if (walksFrame[thread] != bandFrame) {
        walksFrame[thread] = bandFrame;
        for (int i = 0; i < c.count && i < ResumedTriangles; i++) mine[i].row = INT32_MIN;
    }
    int32_t first, end;
    ClearBand(band, first, end);
    for (int i = 0; i < c.count; i++) {
        TriangleRecord t = c.triangles[i]; // the rasteriser reorders its vertices
        if (i < ResumedTriangles)
            RasteriseTriangleRowsFrom(t, first, end, mine[i]);
        else
            RasteriseTriangleRows(t, first, end);
    }
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
    ownRoom.reset(new TriangleRecord[(size_t)threads * MaxBandRecords * CollectedPerRecord]);
    own.assign((size_t)threads, Collection{});
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
    callers = {collected, collectedCount, collectedCapacity, bandFrame};
    eachThreadProjects = false;
    RunOnBandThreads(bandCount, DrawBand);
}

void DrawRecordsInBands(TriangleRecord *records, int count) {
    const int threads = BandThreadCount();
    if (own.size() < (size_t)threads) return; // no threads started: no bands either
    if (count > MaxBandRecords) {
        std::fprintf(stderr, "scanvane: %d records for the bands, more than %d\n", count,
                     MaxBandRecords);
        std::abort();
    }
    const size_t room = (size_t)MaxBandRecords * CollectedPerRecord;
    for (int t = 0; t < threads; t++) own[t] = {&ownRoom[room * t], 0, (int)room, own[t].frame};
    // The flag words are written only when they change: a record line
    // written on this thread would leave every other thread's copy stale.
    for (int i = 0; i < count; i++)
        if (records[i].clipFlags != 0) records[i].clipFlags = 0;
    frameRecords = records, frameRecordCount = count;
    eachThreadProjects = true;
    bandFrame++;
    const ProjectedTriangleSink sink = ProjectedSink;
    ProjectedSink = CollectOwn;
    RunOnBandThreads(bandCount, DrawBand);
    ProjectedSink = sink;
}
