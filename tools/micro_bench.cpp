// scanvane-microbench: the innermost routines one at a time (Google
// Benchmark). Per-pixel figures are "items": compare FillSpan's ns per item
// with AddpsLatency's ns per item, one serial four-lane addition, measured
// in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <emmintrin.h>
#include <new>

#include "render/frame_size.h"
#include "render/frustum.h"
#include "render/matrix.h"
#include "render/pipeline.h"
#include "render/raster.h"
#include "render/render_target.h"
#include "render/setup.h"
#include "render/span_fill.h"

namespace {
constexpr int Width = DefaultFrameWidth, Height = DefaultFrameHeight, Pixels = Width * Height;

// One render target for every benchmark, set up as the frame cycle does.
void SetUpTarget() {
    static bool done = false;
    if (done) return;
    done = true;
    SetUpRenderer(Width, Height, new (std::align_val_t(16)) uint32_t[Pixels](),
                  new (std::align_val_t(16)) float[Pixels]());
}

void ClearDepth() { std::memset(Target.depth, 0, Pixels * sizeof(float)); }

// Depth values that pass the test again and again: every round is nearer
// than the last. After 2^22 rounds (still exact in a float) start over.
struct NearerEachRound {
    float z = -1.0f;
    float Next(benchmark::State &state) {
        if (z < -4194304.0f) {
            state.PauseTiming();
            ClearDepth();
            z = -1.0f;
            state.ResumeTiming();
        }
        return z -= 1.0f;
    }
};

// The latency bound: a chain of dependent four-lane additions.
void AddpsLatency(benchmark::State &state) {
    __m128 v = _mm_setr_ps(-0.5f, 10.0f, 20.0f, 30.0f);
    const __m128 step = _mm_setr_ps(1e-7f, 0.25f, 0.125f, 0.0625f);
    for (auto _ : state) {
        for (int i = 0; i < 1024; i++) v = _mm_add_ps(v, step);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(AddpsLatency);

// FillSpan/count/pass: pass 1 writes every pixel, 0 writes none.
void FillSpanPerPixel(benchmark::State &state) {
    SetUpTarget();
    const int count = (int)state.range(0);
    const bool pass = state.range(1) != 0;
    float *depth = Target.depth + 100 * Width + 8;
    uint32_t *colour = Target.colour + 100 * Width + 8;
    const __m128 step = _mm_setr_ps(0.0f, 0.37f, -0.21f, 0.11f);
    if (pass)
        ClearDepth();
    else
        for (int i = 0; i < count; i++) depth[i] = -1e30f;
    NearerEachRound nearer;
    for (auto _ : state) {
        float z = pass ? nearer.Next(state) : -0.5f;
        FillSpan(colour, depth, count, _mm_setr_ps(z, 20.5f, 200.25f, 60.0f), step);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(FillSpanPerPixel)->ArgNames({"count", "pass"})->ArgsProduct({{8, 32, 480}, {1, 0}});

void ClearRenderTargetBoth(benchmark::State &state) {
    SetUpTarget();
    for (auto _ : state) {
        ClearRenderTarget(Pixels, Target.colour, Target.depth);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * (int64_t)Pixels * 4);
}
BENCHMARK(ClearRenderTargetBoth);

// A screen-space triangle, every pixel passing the depth test. Items are the
// pixels it covers, so large triangles read as a cost per pixel.
void RasteriseOne(benchmark::State &state, const float (&xy)[3][2], int64_t pixels) {
    SetUpTarget();
    ClearDepth();
    NearerEachRound nearer;
    for (auto _ : state) {
        float z = nearer.Next(state);
        TriangleRecord t = {{{xy[0][0], xy[0][1], z, 1, 255, 0, 0},
                             {xy[1][0], xy[1][1], z, 1, 0, 255, 0},
                             {xy[2][0], xy[2][1], z, 1, 0, 0, 255}},
                            0};
        RasteriseTriangle(t);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

void RasteriseSmall(benchmark::State &state) {
    static const float xy[3][2] = {{100.0f, 100.0f}, {110.0f, 104.0f}, {103.0f, 110.0f}};
    RasteriseOne(state, xy, 48); // about half of its 10 x 10 box
}
BENCHMARK(RasteriseSmall);

void RasteriseLarge(benchmark::State &state) {
    static const float xy[3][2] = {{10.0f, 10.0f}, {500.0f, 10.0f}, {10.0f, 370.0f}};
    RasteriseOne(state, xy, 490 * 360 / 2);
}
BENCHMARK(RasteriseLarge);

// Camera-space triangles through the whole pipeline (transform off). Only
// the call is timed; the depth buffer is cleared between calls so every
// call writes its pixels as in a fresh frame.
void DrawOne(benchmark::State &state, const TriangleRecord &record) {
    SetUpTarget();
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        ClearDepth();
        auto start = Clock::now();
        DrawTriangle(record, false);
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}

void DrawTriangleInside(benchmark::State &state) {
    static const TriangleRecord t = {{{-10, 5, -40, 1, 200, 20, 20},
                                      {15, 8, -45, 1, 20, 200, 20},
                                      {0, -12, -35, 1, 20, 20, 200}},
                                     0};
    DrawOne(state, t);
}
BENCHMARK(DrawTriangleInside)->UseManualTime();

// Its third corner behind the near plane: cut into four corners there, and
// the pieces cut again by the side planes, so several split-off triangles.
void DrawTriangleSplit(benchmark::State &state) {
    static const TriangleRecord t = {{{-10, 5, -40, 1, 200, 20, 20},
                                      {15, 8, -45, 1, 20, 200, 20},
                                      {2, -3, -0.5f, 1, 20, 20, 200}},
                                     0};
    DrawOne(state, t);
}
BENCHMARK(DrawTriangleSplit)->UseManualTime();
} // namespace

BENCHMARK_MAIN();
