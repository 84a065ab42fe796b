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
// How tall a band is, from the frame's size and the thread count (see
// ChooseBandRows). The last band takes what is left of the frame's rows.

TriangleRecord *collected;
int collectedCount, collectedCapacity;
bool collectedOverflow;

int helperCount, bandCount, rowsPerBand;
std::atomic<bool> stopping{false};
// Between frames the counter stands far past any band, so a helper that
// claims late (or a new helper after the band count changed) finds nothing.
// The claim counter's high half numbers the frame, so that a thread whose
// claims run on into the next frame knows its saved walks are stale.
constexpr uint64_t NoFrame = 1 << 30;
std::atomic<uint64_t> nextBand{NoFrame};
std::atomic<int> bandsDone{0};
uint64_t frameNumber; // the calling thread's only

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
// frame cut in many bands that walk would cost more than the filling.
constexpr int ResumedTriangles = 1024;
std::vector<SideWalk> walks; // threads x ResumedTriangles, from start-up

void DrawBand(int band, SideWalk *mine) {
    const int32_t first = band * rowsPerBand;
    const int32_t end = first + rowsPerBand < Target.height ? first + rowsPerBand : Target.height;
    const int32_t at = first * Target.width, pixels = (end - first) * Target.width;
    ClearRenderTargetCached(pixels, Target.colour + at, Target.depth + at);
    for (int i = 0; i < collectedCount; i++) {
        TriangleRecord t = collected[i]; // the rasteriser reorders its vertices
        if (i < ResumedTriangles)
            RasteriseTriangleRowsFrom(t, first, end, mine[i]);
        else
            RasteriseTriangleRows(t, first, end);
    }
}

// Claims bands until none are left in the frame being drawn. A helper that
// comes late finds the counter past the last band and goes back to waiting.
// Bands are claimed in rising order, so a thread's saved walks always lie
// above its next band.
void DrawClaimedBands(int thread) {
    SideWalk *mine = &walks[(size_t)thread * ResumedTriangles];
    uint64_t frame = ~(uint64_t)0;
    for (;;) {
        const uint64_t claim = nextBand.fetch_add(1, std::memory_order_acq_rel);
        const int band = (int)(uint32_t)claim;
        if (band >= bandCount) return;
        if (claim >> 32 != frame) {
            frame = claim >> 32;
            for (int i = 0; i < collectedCount && i < ResumedTriangles; i++)
                mine[i].row = INT32_MIN;
        }
        DrawBand(band, mine);
        bandsDone.fetch_add(1, std::memory_order_release);
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
        DrawClaimedBands(thread);
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

void DrawCollectedInBands() {
    // The triangles and the target are written before the counter is reset
    // and the frame published; the helpers read them after claiming a band.
    bandsDone.store(0, std::memory_order_relaxed);
    frameNumber = (frameNumber + 1) & 0xffffffff;
    nextBand.store(frameNumber << 32, std::memory_order_release);
    if (helperCount > 0) WakeHelpers();
    DrawClaimedBands(0);
    while (bandsDone.load(std::memory_order_acquire) < bandCount) Pause();
    nextBand.store(frameNumber << 32 | NoFrame, std::memory_order_relaxed);
}
