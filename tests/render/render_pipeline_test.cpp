// DrawTriangle: transform, rejection, the clip-flag word, projection and
// snapping, observed at the hand-over to the rasteriser and in the pixels.
#include <cmath>

#include "render/frustum.h"
#include "render/matrix.h"
#include "render/pipeline.h"
#include "render/raster.h"
#include "tests/render/render_test_support.h"

using Pipeline = RenderTest;

static void ExpectAt(const Vertex &v, float x, float y, float z) {
    EXPECT_EQ(v.x, x); EXPECT_EQ(v.y, y); EXPECT_EQ(v.z, z);
}

static TriangleRecord Example() {
    return Tri(V(10, 5, -20, 255, 0, 0, 3), V(11, 5, -20, 0, 255, 0, 4), V(10, 6, -20, 0, 0, 255, 5));
}

TEST_F(Pipeline, ProjectsAndSnapsTheExampleTriangle) {
    DrawTriangle(Example(), false);
    ASSERT_EQ(Seen.rasterised.size(), 1u);
    const TriangleRecord &s = Seen.rasterised[0];
    ExpectAt(s.v[0], 384, 128, -0.05f);
    ExpectAt(s.v[1], 397, 128, -0.05f); // x offset 140.8 snaps to 141
    ExpectAt(s.v[2], 384, 115.2f, -0.05f); // y offset -76.8 is negative: kept
    for (int i = 0; i < 3; i++) EXPECT_EQ(s.v[i].w, 3.0f + i); // carried along
    EXPECT_EQ(s.v[1].g, 255.0f);
    EXPECT_EQ(s.clipFlags, 0x3Fu);

    // The pixels are those of the expected screen triangle drawn directly.
    Canvas direct;
    direct.Install();
    TriangleRecord expected = Tri(V(384, 128, -0.05f, 255, 0, 0), V(397, 128, -0.05f, 0, 255, 0),
                                  V(384, 115.2f, -0.05f, 0, 0, 255));
    RasteriseTriangle(expected);
    EXPECT_GT(direct.Written(), 50);
    EXPECT_TRUE(direct.SameImage(canvas));
}

TEST_F(Pipeline, SnapsOnlyPositiveOffsetsWithAFractionAboveOneHalf) {
    // At z = -256 the x offset is x and the y offset is -y.
    const float cases[][2] = {{3.7f, 4},    {0.51f, 1},   {3.5f, 3.5f},  {0.5f, 0.5f}, {3.25f, 3.25f},
                              {5.0f, 5.0f}, {-1.7f, -1.7f}, {-2.5f, -2.5f}, {-1.3f, -1.3f}, {140.8f, 141}};
    for (auto &c : cases) {
        Seen.rasterised.clear();
        DrawTriangle(Tri(V(c[0], -c[0], -256), V(20, -30, -256), V(-30, 10, -256)), false);
        ASSERT_EQ(Seen.rasterised.size(), 1u) << c[0];
        EXPECT_EQ(Seen.rasterised[0].v[0].x, 256.0f + c[1]) << c[0];
        EXPECT_EQ(Seen.rasterised[0].v[0].y, 192.0f + c[1]) << c[0];
    }
}

TEST_F(Pipeline, TransformsOnlyWhenAsked) {
    TriangleRecord world = Example();
    for (Vertex &v : world.v) v.x += 40, v.w = 1;
    CurrentMatrix.m[3] = -40;
    CurrentMatrix.m[12] = 0.5f; // w' = x / 2 + w
    DrawTriangle(world, true);
    for (float &e : CurrentMatrix.m) e = NAN; // must not be read with the transform off
    DrawTriangle(Example(), false);
    ASSERT_EQ(Seen.rasterised.size(), 2u);
    for (const TriangleRecord &s : Seen.rasterised) {
        ExpectAt(s.v[1], 397, 128, -0.05f);
        ExpectAt(s.v[2], 384, 115.2f, -0.05f);
    }
    EXPECT_EQ(Seen.rasterised[0].v[0].w, 26.0f); // 50 / 2 + 1
}

TEST_F(Pipeline, RejectsWhenAllThreeDistancesAreAtMostZero) {
    // With every flag bit set nothing is clipped: what is not rejected is drawn.
    const float justInNear = std::nextafter(-1.0f, -2.0f), justInFar = std::nextafter(-500.0f, 0.0f);
    DrawTriangle(Tri(V(0, 0, -1), V(0.25f, 0, -1), V(0, 0.25f, -1), 0x3F), false);
    DrawTriangle(Tri(V(0, 0, -500), V(90, 0, -500), V(0, 90, -500), 0x3F), false);
    EXPECT_EQ(Seen.rasterised.size(), 0u);
    DrawTriangle(Tri(V(0, 0, -1), V(0.25f, 0, -1), V(0, 0.25f, justInNear), 0x3F), false);
    DrawTriangle(Tri(V(0, 0, -500), V(90, 0, -500), V(0, 90, justInFar), 0x3F), false);
    EXPECT_EQ(Seen.rasterised.size(), 2u);
    EXPECT_GT(canvas.Written(), 0);
}

TEST_F(Pipeline, TinyPositiveDistanceSurvivesRejectionButIsClippedAway) {
    Frustum.topPlane = {0, -1, 0, 0}; // inside where y < 0; distance -y, exactly
    DrawTriangle(Tri(V(0, -1e-17f, -10), V(2, 0, -10), V(0, 0, -12)), false);
    ASSERT_EQ(Seen.rasterised.size(), 1u); // not rejected ...
    for (const Vertex &v : Seen.rasterised[0].v)
        ExpectAt(v, 65792, -48960, 1); // ... but emptied: the collapse point
    EXPECT_EQ(canvas.Written(), 0);
}

TEST_F(Pipeline, TriangleAcrossAFrustumCornerCollapsesAndDrawsNothing) {
    // Outside no single plane, yet no part lies inside both left and top.
    DrawTriangle(Tri(V(-11, 9, -10), V(-9, 9.5f, -10), V(-11, 7, -10)), false);
    ASSERT_EQ(Seen.rasterised.size(), 1u);
    for (const Vertex &v : Seen.rasterised[0].v) ExpectAt(v, 65792, -48960, 1);
    EXPECT_EQ(canvas.Written(), 0);
}

TEST_F(Pipeline, FlagBitsChooseThePlanesClippedAndHighBitsTravel) {
    // Vertex 0 is just outside the left plane but still projects onto the screen.
    TriangleRecord t = Tri(V(-9.99f, 0, -10), V(0, 5, -10), V(0, -5, -10));
    DrawTriangle(t, false);
    ASSERT_EQ(Seen.rasterised.size(), 2u); // split by the left plane
    for (const TriangleRecord &s : Seen.rasterised)
        for (const Vertex &v : s.v) EXPECT_GT(v.x, 0.3f);

    std::vector<TriangleRecord> low = Seen.rasterised;
    Seen = SeamLog();
    t.clipFlags = 0xFFFFFFC0u;
    DrawTriangle(t, false);
    ASSERT_EQ(Seen.rasterised.size(), low.size());
    for (size_t i = 0; i < low.size(); i++) {
        EXPECT_EQ(Seen.rasterised[i].clipFlags, low[i].clipFlags | 0xFFFFFFC0u);
        EXPECT_EQ(0, std::memcmp(Seen.rasterised[i].v, low[i].v, sizeof low[i].v));
    }

    Seen = SeamLog();
    t.clipFlags = 0x3F; // still tested for rejection, never clipped
    DrawTriangle(t, false);
    ASSERT_EQ(Seen.rasterised.size(), 1u);
    EXPECT_LT(Seen.rasterised[0].v[0].x, 0.3f);
}

TEST_F(Pipeline, SplitOffHalvesAreDrawnFirstAndCarryEveryAppliedBit) {
    // Crosses the far plane only: the split-off half has near and far set.
    TriangleRecord t = Tri(V(0, 0, -400, 0, 0, 0, 7), V(50, 0, -600, 0, 0, 0, 7),
                           V(0, 50, -400, 0, 0, 0, 7), 0xABCDE000u);
    DrawTriangle(t, false);
    ASSERT_EQ(Seen.draws.size(), 2u);
    const DrawCall &split = Seen.draws[1];
    EXPECT_FALSE(split.transform);
    EXPECT_EQ(split.record.clipFlags, 0xABCDE000u | ClipNear | ClipFar);
    for (const Vertex &v : split.record.v) EXPECT_EQ(v.w, 1.0f);
    ASSERT_EQ(Seen.rasterised.size(), 2u);
    EXPECT_EQ(Seen.rasterised[0].v[0].w, 1.0f); // the split-off half ...
    EXPECT_EQ(Seen.rasterised[1].v[0].w, 7.0f); // ... before its parent
    EXPECT_EQ(Seen.rasterised[1].clipFlags, 0xABCDE000u | 0x3F);

    // Cut by bottom and top: bottom goes first, so the first half split off
    // has not met the top plane yet.
    Seen = SeamLog();
    DrawTriangle(Tri(V(0, -20, -10), V(-2, 20, -10), V(2, 20, -10)), false);
    ASSERT_GE(Seen.draws.size(), 2u);
    EXPECT_EQ(Seen.draws[1].record.clipFlags, 0x3Fu & ~ClipTop);
}

TEST_F(Pipeline, CallersRecordIsNeverWritten) {
    const TriangleRecord cases[] = {
        Tri(V(-5, -5, -20), V(5, -5, -20), V(0, 5, -30), 0xF0F0F000u),   // drawn whole
        Tri(V(0, 0, 5), V(2, -1, -20), V(-1, 2, -30), 0x12345600u),      // split by near
        Tri(V(-5, -5, 20), V(5, -5, 20), V(0, 5, 30), 0x80000000u),      // dropped
    };
    for (const TriangleRecord &c : cases) {
        TriangleRecord r = c;
        DrawTriangle(r, true);
        EXPECT_TRUE(SameBytes(r, c));
    }
    EXPECT_GT(canvas.Written(), 0);
    EXPECT_EQ(Seen.rasterised.size(), 3u); // one whole, two halves
}
