// The render target: clear, scan conversion, span lengths, depth test and
// colour packing, in exact pixel values.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "render/fill_path.h"
#include "render/raster.h"
#include "render/render_target.h"
#include "render/span_fill.h"
#include "tests/hardening/guard_zone.h"
#include "tests/render/render_test_support.h"

using Raster = RenderTest;

static void Draw(TriangleRecord t) { RasteriseTriangle(t); }

static int WrittenInRow(const Canvas &c, int y) {
    int n = 0;
    for (int x = 0; x < Canvas::W; x++) n += c.D(x, y) != 0.0f;
    return n;
}

TEST_F(Raster, ClearZeroesExactlyTheGivenPixels) {
    // The streaming clear and the one with ordinary stores alike.
    for (auto clear : {ClearRenderTarget, ClearRenderTargetCached}) {
        std::fill(canvas.colour, canvas.colour + Canvas::N, 0x12345678u);
        std::fill(canvas.depth, canvas.depth + Canvas::N, -3.5f);
        clear(8, canvas.colour, canvas.depth);
        EXPECT_EQ(canvas.colour[7], 0u);
        EXPECT_EQ(Bits(canvas.depth[7]), 0u);
        EXPECT_EQ(canvas.colour[8], 0x12345678u);
        EXPECT_EQ(canvas.depth[8], -3.5f);
        clear(Canvas::N, canvas.colour, canvas.depth);
        EXPECT_EQ(canvas.Written(), 0);
        EXPECT_EQ(std::count(canvas.colour, canvas.colour + Canvas::N, 0u), Canvas::N);
        EXPECT_TRUE(canvas.GuardsIntact());
    }
}

TEST_F(Raster, WorkedExampleExactPixels) {
    Draw(
        Tri(V(10, 10, -0.5f, 255, 0, 0), V(14, 12, -0.5f, 0, 255, 0), V(10, 14, -0.5f, 0, 0, 255)));
    const struct {
        int x, y;
        uint32_t c;
    } want[] = {{10, 11, 0x00BF0040}, {11, 11, 0x009F4020}, {10, 12, 0x00800080},
                {11, 12, 0x00604060}, {12, 12, 0x00408040}, {13, 12, 0x0020BF20},
                {10, 13, 0x004000BF}, {11, 13, 0x0020409F}};
    for (auto &p : want) {
        EXPECT_EQ(canvas.C(p.x, p.y), p.c) << p.x << "," << p.y;
        EXPECT_EQ(canvas.D(p.x, p.y), -0.5f) << p.x << "," << p.y;
    }
    EXPECT_EQ(canvas.Written(), 8); // row 10 empty, row 14 not drawn
}

TEST_F(Raster, SpanLengthIsWidthPlus099Truncated) {
    // Flat top from (0, 10) to (w, 10): row 10 is one span of width w.
    const float w[] = {0, 0.01f, 0.02f, 0.5f, 1, 1.5f, 2};
    const int count[] = {0, 0, 1, 1, 1, 2, 2};
    for (int i = 0; i < 7; i++) {
        canvas.Install();
        Draw(Tri(V(0, 10, -0.5f), V(w[i], 10, -0.5f), V(0, 20, -0.5f)));
        EXPECT_EQ(WrittenInRow(canvas, 10), count[i]) << "w = " << w[i];
    }
}

TEST_F(Raster, ChannelsRoundToNearestEven) {
    const __m128 none = _mm_setzero_ps();
    FillSpan(canvas.colour, canvas.depth, 1, _mm_setr_ps(-0.5f, 127.5f, 128.5f, 254.5f), none);
    FillSpan(canvas.colour + 1, canvas.depth + 1, 1, _mm_setr_ps(-0.5f, 255, 128, 0), none);
    FillSpan(canvas.colour + 2, canvas.depth + 2, 1, _mm_setr_ps(-0.5f, 0.4f, 0.4f, 0.4f), none);
    EXPECT_EQ(canvas.colour[0], 0x008080FEu);
    EXPECT_EQ(canvas.colour[1], 0x00FF8000u);
    EXPECT_EQ(canvas.colour[2], 0u);
    EXPECT_EQ(canvas.depth[2], -0.5f);
}

TEST_F(Raster, DepthTestKeepsEqualAndNearerAndStillAdvances) {
    const float stored[5] = {0.0f, -0.75f, -0.5f, -0.49999997f, 0.0f};
    for (int i = 0; i < 5; i++) canvas.depth[i] = stored[i], canvas.colour[i] = 0x123456;
    // z stays -0.5; red rises by 10 per pixel.
    FillSpan(canvas.colour, canvas.depth, 4, _mm_setr_ps(-0.5f, 100, 0, 0),
             _mm_setr_ps(0, 10, 0, 0));
    const uint32_t colour[5] = {100u << 16, 0x123456, 0x123456, 130u << 16, 0x123456};
    const float depth[5] = {-0.5f, -0.75f, -0.5f, -0.5f, 0.0f};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(canvas.colour[i], colour[i]) << i;
        EXPECT_EQ(canvas.depth[i], depth[i]) << i;
    }
    FillSpan(canvas.colour + 4, canvas.depth + 4, 0, _mm_set1_ps(-1), _mm_setzero_ps());
    FillSpan(canvas.colour + 4, canvas.depth + 4, -3, _mm_set1_ps(-1), _mm_setzero_ps());
    EXPECT_EQ(canvas.colour[4], 0x123456u);
    // Side by side with a span of pixels, one of none (or fewer) still
    // writes nothing, before its start included.
    Span none, some;
    none.colour = canvas.colour + 4, none.depth = canvas.depth + 4, none.count = -3;
    some.colour = canvas.colour + 2 * Canvas::W, some.depth = canvas.depth + 2 * Canvas::W;
    some.count = 5, none.start = some.start = _mm_set1_ps(-1);
    none.step = some.step = _mm_setzero_ps();
    for (bool swapped : {false, true}) {
        canvas.Install();
        swapped ? FillTwoSpans(some, none) : FillTwoSpans(none, some);
        EXPECT_EQ(canvas.Written(), 5);
        EXPECT_EQ(canvas.D(4, 2), -1.0f);
    }
}

TEST_F(Raster, EveryVertexOrderFillsTheSamePixels) {
    const Vertex v[3] = {V(30.5f, 20.25f, -0.5f, 250, 10, 40), V(90.75f, 50.5f, -0.25f, 5, 200, 90),
                         V(10.25f, 80.75f, -0.125f, 60, 30, 220)};
    Canvas first;
    first.Install();
    Draw(Tri(v[0], v[1], v[2]));
    ASSERT_GT(first.Written(), 1000);
    int order[3] = {0, 1, 2};
    while (std::next_permutation(order, order + 3)) {
        canvas.Install();
        Draw(Tri(v[order[0]], v[order[1]], v[order[2]]));
        EXPECT_TRUE(canvas.SameImage(first)) << order[0] << order[1] << order[2];
    }
}

TEST_F(Raster, FlatTopSidesFollowTheUnstableSort) {
    // a and b share y. The three compare-exchanges leave them in input order
    // except when c comes first, which reverses them; with b on top the row
    // is 50 pixels wide, with a on top its width is -50.
    const Vertex a = V(100, 10.2f, -0.5f, 9), b = V(150, 10.2f, -0.5f, 9),
                 c = V(300, 11.5f, -0.5f, 9);
    const struct {
        Vertex p, q, r;
        int pixels;
    } orders[] = {{a, b, c, 0},  {b, a, c, 50}, {a, c, b, 0},
                  {b, c, a, 50}, {c, a, b, 50}, {c, b, a, 0}};
    for (auto &o : orders) {
        canvas.Install();
        Draw(Tri(o.p, o.q, o.r));
        EXPECT_EQ(canvas.Written(), o.pixels) << o.p.x << " " << o.q.x << " " << o.r.x;
        if (o.pixels) { // columns 100 to 149 of row 10
            EXPECT_EQ(canvas.C(100, 10), 9u << 16);
            EXPECT_EQ(canvas.C(149, 10), 9u << 16);
        }
    }
}

TEST_F(Raster, ShortSideIsRightOnlyWhenItsStepIsStrictlyGreater) {
    // An upper edge at most 1/128 high steps by its whole x difference (50,
    // not 50 / 0.005) and so loses to the long edge's 153.8; equal steps
    // lose too. Either way the short side is on the left and the row's width
    // is negative.
    Draw(Tri(V(100, 10.2f, -0.5f), V(150, 10.205f, -0.5f), V(300, 11.5f, -0.5f)));
    Draw(Tri(V(0, 20, -0.5f), V(2, 20, -0.5f), V(2, 21, -0.5f)));
    EXPECT_EQ(canvas.Written(), 0);
}

TEST_F(Raster, VerticesOnTheFarEdgesTouchNeitherColumn512NorRow384) {
    Draw(Tri(V(400, 100, -0.5f, 1), V(512, 100, -0.5f, 1), V(512, 384, -0.5f, 1)));
    for (int y = 0; y < Canvas::H; y++)
        for (int x = 0; x < Canvas::W; x++)
            ASSERT_TRUE(canvas.D(x, y) == 0.0f || (x >= 400 && y >= 100)) << x << "," << y;
    EXPECT_EQ(WrittenInRow(canvas, 100), 112);
    EXPECT_NE(canvas.D(511, 383), 0.0f);
    EXPECT_TRUE(canvas.GuardsIntact());
}

TEST_F(Raster, RowlessTriangleDrawsNothingWhereverItLies) {
    Draw(Tri(V(1e6f, 10.1f, -0.5f), V(-1e6f, 10.5f, -0.5f), V(5, 10.9f, -0.5f)));
    Draw(Tri(V(65792, -48960, 1), V(65792, -48960, 1), V(65792, -48960, 1)));
    Draw(Tri(V(5, 10.1f, -0.5f), V(300, 10.5f, -0.5f), V(5, 10.9f, -0.5f)));
    EXPECT_EQ(canvas.Written(), 0);
}

// What one pixel at a time gives: each channel rounded on its own (nearest,
// ties to even; NaN or out of the 32-bit range gives 0x80000000, as the
// processor's conversion does), then B | G << 8 | R << 16 with no clamping.
static uint32_t RoundChannel(float f) {
    double r = std::nearbyint((double)f);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return 0x80000000u;
    return (uint32_t)(int32_t)r;
}

static void ReferenceFill(uint32_t *colour, float *depth, int count, const float start[4],
                          const float step[4]) {
    float v[4] = {start[0], start[1], start[2], start[3]};
    for (int i = 0; i < count; i++) {
        if (!(v[0] >= depth[i])) {
            depth[i] = v[0];
            colour[i] = RoundChannel(v[3]) | RoundChannel(v[2]) << 8 | RoundChannel(v[1]) << 16;
        }
        for (int k = 0; k < 4; k++) v[k] += step[k];
    }
}

TEST_F(Raster, FillSpanAgreesWithPixelByPixelFill) {
    // Odd and even counts, pixels that pass and fail next to each other in
    // every combination, channels below 0, above 255, huge and not a number.
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    auto pick = [&](const float *from, int n) { return from[next() % n]; };
    const float channels[] = {0,    0.5f,  127.5f, 254.5f, 255, 255.6f,   -0.4f, -0.6f,
                              -300, 70000, 3e9f,   -3e9f,  NAN, INFINITY, 1e-40f};
    const float steps[] = {0, 0.25f, -0.25f, 1.5f, -7, 33.3f, 1e8f, -1e-3f};
    const float depths[] = {0.0f, -0.5f, -0.25f, -1.0f, -0.375f};
    static uint32_t wantColour[Canvas::W];
    static float wantDepth[Canvas::W];
    for (int round = 0; round < 400; round++) {
        const int count = round < 40 ? round % 10 : (int)(next() % 200);
        float start[4] = {pick(depths, 5) * 0.9f, pick(channels, 15), pick(channels, 15),
                          pick(channels, 15)};
        float step[4] = {(float)((int)(next() % 5) - 2) * 0.01f, pick(steps, 8), pick(steps, 8),
                         pick(steps, 8)};
        for (int i = 0; i < Canvas::W; i++) {
            canvas.depth[i] = wantDepth[i] = pick(depths, 5);
            canvas.colour[i] = wantColour[i] = next();
        }
        FillSpan(canvas.colour, canvas.depth, count, _mm_loadu_ps(start), _mm_loadu_ps(step));
        ReferenceFill(wantColour, wantDepth, count, start, step);
        for (int i = 0; i < Canvas::W; i++) {
            ASSERT_EQ(canvas.colour[i], wantColour[i]) << "round " << round << " pixel " << i;
            ASSERT_EQ(Bits(canvas.depth[i]), Bits(wantDepth[i]))
                << "round " << round << " pixel " << i;
        }
    }
    EXPECT_TRUE(canvas.GuardsIntact());
}

// The scan conversion written out plainly, one row and one pixel at a time,
// to hold the side-by-side filling of rows against.
static void ReferenceRasterise(TriangleRecord t, uint32_t *colour, float *depth,
                               int width = Canvas::W) {
    Vertex *p = t.v;
    if (p[0].y > p[2].y) std::swap(p[0], p[2]);
    if (p[0].y > p[1].y) std::swap(p[0], p[1]);
    if (p[1].y > p[2].y) std::swap(p[1], p[2]);
    auto steps = [](const Vertex &s, const Vertex &e, float out[5]) {
        float dy = e.y - s.y;
        bool tall = dy > 0.0078125f;
        out[0] = tall ? (e.x - s.x) / dy : e.x - s.x;
        out[1] = tall ? (e.z - s.z) / dy : 0, out[2] = tall ? (e.r - s.r) / dy : 0;
        out[3] = tall ? (e.g - s.g) / dy : 0, out[4] = tall ? (e.b - s.b) / dy : 0;
    };
    float longStep[5], upper[5], lower[5];
    steps(p[0], p[2], longStep), steps(p[0], p[1], upper), steps(p[1], p[2], lower);
    const bool shortRight = upper[0] > longStep[0];
    float longSide[5] = {p[0].x, p[0].z, p[0].r, p[0].g, p[0].b}, shortSide[5];
    std::copy(longSide, longSide + 5, shortSide);
    const int yMid = (int)p[1].y, yBot = (int)p[2].y;
    for (int row = (int)p[0].y; row < yBot; row++) {
        if (row == yMid)
            shortSide[0] = p[1].x, shortSide[1] = p[1].z, shortSide[2] = p[1].r,
            shortSide[3] = p[1].g, shortSide[4] = p[1].b;
        const float *l = shortRight ? longSide : shortSide, *r = shortRight ? shortSide : longSide;
        float w = r[0] - l[0], inverse = w == 0 ? 0 : 1 / w;
        float start[4] = {l[1], l[2], l[3], l[4]};
        float step[4] = {(r[1] - l[1]) * inverse, (r[2] - l[2]) * inverse, (r[3] - l[3]) * inverse,
                         (r[4] - l[4]) * inverse};
        int at = row * width + (int)l[0];
        ReferenceFill(colour + at, depth + at, (int)((double)w + 0.99), start, step);
        const float *s = row < yMid ? upper : lower;
        for (int k = 0; k < 5; k++) longSide[k] += longStep[k], shortSide[k] += s[k];
    }
}

// Every span fill this processor runs, the baseline first; the test's last
// path stays active until the fixture resets it.
static std::vector<FillPath> PathsThatRunHere() {
    std::vector<FillPath> paths;
    for (int p = 0; p < FillPathCount; p++)
        if (FillPathRuns((FillPath)p))
            paths.push_back((FillPath)p);
        else
            std::printf("note: the %s fill does not run on this processor; not checked\n",
                        FillPathName((FillPath)p));
    return paths;
}

struct PathReset {
    ~PathReset() { UseFillPath(FillPathBaseline); }
};

// Random triangles on screen of every height (flat to full), width and
// colour, some with channels out of range.
static TriangleRecord RandomTriangle(uint32_t &seed) {
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    auto unit = [&] { return (float)(next() >> 8) / 16777216.0f; };
    auto vertex = [&] {
        float size = unit() < 0.3f ? 40.0f : 1.0f; // many small, a few screen-sized
        return V(unit() * 512.0f / size + (size > 1 ? unit() * 400 : 0),
                 unit() * 384.0f / size + (size > 1 ? unit() * 300 : 0), -0.002f - unit() * 0.99f,
                 unit() * 300 - 20, unit() * 255, (next() % 16 == 0) ? 1e9f : unit() * 255);
    };
    return Tri(vertex(), vertex(), vertex());
}

TEST_F(Raster, RowsFilledSideBySideMatchRowsFilledOneByOne) {
    // Rows of odd and even lengths against a depth buffer that hides some
    // pixels of each group of rows and not others, with channels running out
    // of range on the way; on every path, then random triangles drawn over
    // each other.
    PathReset reset;
    static uint32_t wantColour[Canvas::N];
    static float wantDepth[Canvas::N];
    const TriangleRecord tris[] = {
        Tri(V(10.3f, 5.7f, -0.3f, -40, 100, 300), V(300.9f, 60.2f, -0.6f, 260, 0, -2),
            V(120.4f, 200.5f, -0.45f, 128, 255.5f, 127.5f)),
        Tri(V(400, 100.5f, -0.2f, 1e6f, 0, 0), V(500.5f, 100.5f, -0.7f, 0, -1e6f, 0),
            V(450.25f, 383.9f, -0.4f, 0, 0, 5e9f)),
        Tri(V(0, 0, -0.5f, 10, 20, 30), V(511.99f, 1.5f, -0.5f, 40, 50, 60),
            V(3.5f, 9.25f, -0.5f, 70, 80, 90))};
    for (FillPath path : PathsThatRunHere()) {
        SCOPED_TRACE(FillPathName(path));
        UseFillPath(path);
        uint32_t seed = 777;
        auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
        for (const TriangleRecord &t : tris) {
            for (int i = 0; i < Canvas::N; i++) {
                canvas.depth[i] = wantDepth[i] =
                    (next() & 1) ? 0.0f : -0.45f - (next() % 8) * 0.01f;
                canvas.colour[i] = wantColour[i] = 7;
            }
            Draw(t);
            ReferenceRasterise(t, wantColour, wantDepth);
            int written = 0;
            for (int i = 0; i < Canvas::N; i++) {
                ASSERT_EQ(canvas.colour[i], wantColour[i])
                    << "pixel " << i % Canvas::W << "," << i / Canvas::W;
                ASSERT_EQ(Bits(canvas.depth[i]), Bits(wantDepth[i]));
                written += wantColour[i] != 7;
            }
            EXPECT_GT(written, 100);
        }
        ClearRenderTarget(Canvas::N, canvas.colour, canvas.depth);
        std::fill(wantColour, wantColour + Canvas::N, 0u);
        std::fill(wantDepth, wantDepth + Canvas::N, 0.0f);
        for (int n = 0; n < 300; n++) {
            TriangleRecord t = RandomTriangle(seed);
            ReferenceRasterise(t, wantColour, wantDepth);
            Draw(t);
        }
        ASSERT_EQ(0, std::memcmp(canvas.colour, wantColour, sizeof wantColour));
        ASSERT_EQ(0, std::memcmp(canvas.depth, wantDepth, sizeof wantDepth));
        EXPECT_GT(canvas.Written(), Canvas::N / 2);
        EXPECT_TRUE(canvas.GuardsIntact());
    }
}

TEST_F(Raster, BandsOfRowsTogetherDrawTheWholeFrame) {
    // Bands drawn one after the other, triangles in order within each band,
    // give the frame drawn whole; rows outside a band stay untouched.
    PathReset reset;
    static uint32_t wholeColour[Canvas::N];
    static float wholeDepth[Canvas::N];
    for (FillPath path : PathsThatRunHere()) {
        SCOPED_TRACE(FillPathName(path));
        UseFillPath(path);
        uint32_t seed = 4242;
        std::vector<TriangleRecord> tris;
        for (int n = 0; n < 120; n++) tris.push_back(RandomTriangle(seed));
        ClearRenderTarget(Canvas::N, canvas.colour, canvas.depth);
        for (TriangleRecord t : tris) Draw(t);
        std::memcpy(wholeColour, canvas.colour, sizeof wholeColour);
        std::memcpy(wholeDepth, canvas.depth, sizeof wholeDepth);

        ClearRenderTarget(Canvas::N, canvas.colour, canvas.depth);
        const int bands[] = {0, 1, 7, 32, 33, 200, 383, Canvas::H};
        for (size_t b = 0; b + 1 < std::size(bands); b++) {
            for (TriangleRecord t : tris) RasteriseTriangleRows(t, bands[b], bands[b + 1]);
            const size_t end = (size_t)bands[b + 1] * Canvas::W;
            ASSERT_EQ(0, std::memcmp(canvas.colour, wholeColour, end * 4))
                << "band ending " << bands[b + 1];
            ASSERT_EQ(0, std::memcmp(canvas.depth, wholeDepth, end * 4));
            for (size_t i = end; i < (size_t)Canvas::N; i++) ASSERT_EQ(Bits(canvas.depth[i]), 0u);
        }
        EXPECT_TRUE(canvas.GuardsIntact());
    }
}

TEST_F(Raster, AnySizeAndStrideMatchesRowsFilledOneByOne) {
    // Frames of odd widths and heights, wide and tall ones, and one wider
    // than any span was before (2500): random triangles from corner to corner,
    // vertices on the right and bottom edges and up to a pixel above and left
    // of the screen (where the view volume of an odd height reaches), drawn
    // on every path into buffers fenced by guard zones, as the reference
    // draws them with the same width as row stride.
    PathReset reset;
    const struct {
        int w, h;
    } sizes[] = {{333, 197}, {17, 16}, {16, 23}, {1024, 128}, {96, 640}, {2500, 37}};
    for (auto size : sizes) {
        const int w = size.w, h = size.h, n = w * h;
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        GuardedBuffer colourZone, depthZone;
        const size_t guard = (size_t)4 * w * 4;
        uint32_t *colour = (uint32_t *)GuardedAlloc(colourZone, (size_t)n * 4, guard);
        float *depth = (float *)GuardedAlloc(depthZone, (size_t)n * 4, guard);
        std::vector<uint32_t> wantColour(n);
        std::vector<float> wantDepth(n);
        Target = {w, h, colour, depth};
        for (FillPath path : PathsThatRunHere()) {
            SCOPED_TRACE(FillPathName(path));
            UseFillPath(path);
            std::memset(colour, 0, (size_t)n * 4), std::memset(depth, 0, (size_t)n * 4);
            std::fill(wantColour.begin(), wantColour.end(), 0u);
            std::fill(wantDepth.begin(), wantDepth.end(), 0.0f);
            uint32_t seed = 99;
            auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
            auto unit = [&] { return (float)(next() >> 8) / 16777216.0f; };
            auto coordinate = [&](float limit) {
                switch (next() % 8) {
                case 0:
                    return limit; // on the right or bottom edge
                case 1:
                    return -0.999f * unit(); // just above or left of it
                default:
                    return unit() * limit;
                }
            };
            for (int k = 0; k < 200; k++) {
                Vertex v[3];
                for (Vertex &x : v)
                    x = V(coordinate((float)w), coordinate((float)h), -0.002f - unit() * 0.99f,
                          unit() * 255, unit() * 255, unit() * 255);
                TriangleRecord t = Tri(v[0], v[1], v[2]);
                ReferenceRasterise(t, wantColour.data(), wantDepth.data(), w);
                Draw(t);
            }
            ASSERT_EQ(0, std::memcmp(colour, wantColour.data(), (size_t)n * 4));
            ASSERT_EQ(0, std::memcmp(depth, wantDepth.data(), (size_t)n * 4));
            int written = 0;
            for (int i = 0; i < n; i++) written += Bits(depth[i]) != 0;
            EXPECT_GT(written, n / 2);
            ptrdiff_t at = 0;
            EXPECT_TRUE(GuardsIntact(colourZone, &at)) << "colour guard byte " << at;
            EXPECT_TRUE(GuardsIntact(depthZone, &at)) << "depth guard byte " << at;
        }
        canvas.Install();
        GuardedFree(colourZone), GuardedFree(depthZone);
    }
}

TEST(FillPathChoice, ForcedPathsAreUsedOrRefusedWithAReason) {
    PathReset reset;
    ASSERT_EQ(ChooseFillPath(nullptr), nullptr);
    EXPECT_EQ(ActiveFillPath(), WidestFillPath());
    UseFillPath(FillPathBaseline);
    for (const char *bad : {"avx", "SSE2", "avx512 ", "x"}) {
        const char *error = ChooseFillPath(bad);
        ASSERT_NE(error, nullptr) << bad;
        EXPECT_NE(std::strstr(error, "names no span fill"), nullptr) << error;
        EXPECT_EQ(ActiveFillPath(), FillPathBaseline);
    }
    for (int p = FillPathCount - 1; p >= 0; p--) {
        FillPath parsed;
        ASSERT_TRUE(ParseFillPath(FillPathName((FillPath)p), parsed));
        EXPECT_EQ(parsed, p);
        const char *error = ChooseFillPath(FillPathName((FillPath)p));
        if (FillPathRuns((FillPath)p)) {
            EXPECT_EQ(error, nullptr);
            EXPECT_EQ(ActiveFillPath(), p);
        } else {
            ASSERT_NE(error, nullptr);
            EXPECT_NE(ActiveFillPath(), p);
        }
    }
    EXPECT_TRUE(FillPathRuns(FillPathBaseline));
}
