// Out-of-range input of every kind (never-clipped near bit, non-finite or
// huge coordinates, denormals, any flag word, any matrix) may draw garbage
// but must never write outside the two buffers. Run under the sanitizer
// build, this also proves no float-to-int conversion is out of range.
#include <cfloat>
#include <cmath>
#include <random>

#include "render/clipper.h"
#include "render/matrix.h"
#include "render/pipeline.h"
#include "render/raster.h"
#include "tests/render/render_test_support.h"

namespace {
struct Chaos {
    std::mt19937 rng{20240611u}; // fixed: a failure names a reproducible case
    bool wild = false;           // whole record from the odd values below

    float Uniform(float lo, float hi) { return lo + (hi - lo) * (float)(rng() >> 8) * 0x1p-24f; }

    float Odd() {
        static const float odd[] = {NAN,     -NAN,     INFINITY, -INFINITY,     FLT_MAX,       -FLT_MAX,
                                    1e30f,   -1e30f,   1e-40f,   -FLT_TRUE_MIN, 0.0f,          -0.0f,
                                    2.2e9f,  -2.2e9f,  8388607.5f, 8388608.0f,  1e-16f,        -1e-30f,
                                    512.0f,  384.0f,   511.999f, 383.999f,      -1.0f,         1.0f};
        if (rng() % 2) {
            uint32_t b = rng();
            float f;
            std::memcpy(&f, &b, 4);
            return f;
        }
        return odd[rng() % (sizeof odd / sizeof odd[0])];
    }
    float Value(float lo, float hi) { return wild && rng() % 3 == 0 ? Odd() : Uniform(lo, hi); }
    uint32_t FlagWord() {
        switch (rng() % 4) {
        case 0: return 0;
        case 1: return ClipNear | (rng() & ~0x3Fu);
        default: return rng();
        }
    }
    TriangleRecord Record(float span, float lo, float hi) {
        wild = rng() % 2;
        TriangleRecord t;
        for (Vertex &v : t.v)
            v = {Value(-span, span), Value(-span, span), Value(lo, hi), Value(-2, 2),
                 Value(-20, 275), Value(-20, 275), Value(-20, 275)};
        t.clipFlags = FlagWord();
        return t;
    }
    void Matrix() {
        ResetMatrix(CurrentMatrix);
        if (rng() % 3 == 0) return;
        wild = rng() % 3 == 0;
        for (float &e : CurrentMatrix.m) e = Value(-2, 2);
        for (int i : {3, 7, 11}) CurrentMatrix.m[i] = Value(-300, 300);
    }
};
} // namespace

// Any write outside the buffers fails at once, naming the input that did it
// (the generator is seeded, so the index reproduces it).
using Guard = RenderTest;

TEST_F(Guard, NearBitWithoutNearClippingStaysInsideTheBuffers) {
    const TriangleRecord cases[] = {
        Tri(V(1, 1, 0), V(-1, 1, 0), V(0, -1, -5), ClipNear),
        Tri(V(1, 1, 1e-30f), V(3, 4, 1e-40f), V(0, -1, -5), ClipNear),
        Tri(V(1, 1, 10), V(-1, 1, 20), V(0, -1, -5), 0x3F),
        Tri(V(1e30f, 1, -1e-30f), V(-1e30f, 1, -0.001f), V(0, -1, -5), ClipNear),
    };
    for (const TriangleRecord &t : cases) {
        DrawTriangle(t, false);
        ASSERT_TRUE(canvas.GuardsIntact()) << "input " << &t - cases;
    }
}

TEST_F(Guard, RandomRecordsNeverWriteOutsideTheBuffers) {
    Chaos chaos;
    for (int i = 0; i < 20000; i++) {
        chaos.Matrix();
        const TriangleRecord record = chaos.Record(600, -600, 100);
        TriangleRecord copy = record;
        DrawTriangle(copy, chaos.rng() % 2);
        ASSERT_TRUE(SameBytes(copy, record)) << i;
        ASSERT_TRUE(canvas.GuardsIntact()) << "input " << i;
        Seen = SeamLog(); // the log is not under test here
    }
    EXPECT_GT(canvas.Written(), Canvas::N / 4); // plenty of the input was drawn
}

TEST_F(Guard, RandomScreenTrianglesAndPlanesStayInside) {
    Chaos chaos;
    for (int i = 0; i < 20000; i++) {
        TriangleRecord t = chaos.Record(280, -1, 0);
        for (Vertex &v : t.v) v.x += 256, v.y += 192; // around the screen, often across its edges
        RasteriseTriangle(t);
        ASSERT_TRUE(canvas.GuardsIntact()) << "input " << i;

        const ClipPlane plane = {chaos.Value(-1, 1), chaos.Value(-1, 1), chaos.Value(-1, 1),
                                 chaos.Value(-5, 5)};
        TriangleRecord camera = chaos.Record(600, -600, 100);
        ClipTriangle(camera, plane);
        ASSERT_TRUE(canvas.GuardsIntact()) << "input " << i;
        Seen = SeamLog();
    }
    EXPECT_GT(canvas.Written(), Canvas::N / 4);
}
