// The current matrix, the vertex transform and the view volume.
#include <algorithm>
#include <string>
#include <vector>

#include "render/frustum.h"
#include "render/matrix.h"
#include "render/pipeline.h"
#include "tests/render/render_test_support.h"

TEST(Matrices, IdentityResetsAnyMatrix) {
    for (int i = 0; i < 16; i++) EXPECT_EQ(IdentityMatrix.m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
    Matrix4 m;
    std::memset(&m, 0xFF, sizeof m);
    ResetMatrix(m);
    EXPECT_EQ(0, std::memcmp(&m, &IdentityMatrix, sizeof m));
}

TEST(Matrices, IdentityIsNeutralOnEitherSide) {
    Matrix4 a;
    for (int i = 0; i < 16; i++) a.m[i] = 1.25f * i - 7.5f + (i == 6); // no zeros
    CurrentMatrix = IdentityMatrix;
    PremultiplyCurrentMatrix(a);
    for (int i = 0; i < 16; i++) EXPECT_EQ(CurrentMatrix.m[i], a.m[i]) << i;
    PremultiplyCurrentMatrix(IdentityMatrix);
    for (int i = 0; i < 16; i++) EXPECT_EQ(CurrentMatrix.m[i], a.m[i]) << i;
}

TEST(Matrices, RotationPremultipliedOntoTranslationRotatesTheOffset) {
    const float c = 0.8660254f, s = 0.5f, tx = 40, ty = 3, tz = -20;
    ResetMatrix(CurrentMatrix);
    CurrentMatrix.m[3] = -tx, CurrentMatrix.m[7] = -ty, CurrentMatrix.m[11] = -tz;
    Matrix4 rot = {{c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, 0, 0, 0, 0, 1}};
    PremultiplyCurrentMatrix(rot);
    const float want[16] = {c,  0, s, -(c * tx) - s * tz, 0, 1, 0, -ty,
                            -s, 0, c, s * tx - c * tz,    0, 0, 0, 1};
    for (int i = 0; i < 16; i++) EXPECT_EQ(CurrentMatrix.m[i], want[i]) << i;
}

TEST(Matrices, ProductsSumLeftToRight) {
    // 1 + 1e8 loses the 1 in single precision; any other grouping keeps it.
    Matrix4 m = {{1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    ResetMatrix(CurrentMatrix);
    CurrentMatrix.m[0] = 1, CurrentMatrix.m[4] = 1e8f, CurrentMatrix.m[8] = -1e8f;
    PremultiplyCurrentMatrix(m);
    EXPECT_EQ(CurrentMatrix.m[0], 0.0f);
}

TEST(Matrices, TransformReadsAllInputsFirstAndSumsLeftToRight) {
    // Rows swap x and y, sum x + y + z and double w.
    CurrentMatrix = {{0, 1, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 2}};
    Vertex v = V(1, 1e8f, -1e8f, 10, 20, 30, 1);
    TransformVertex(v);
    EXPECT_EQ(v.x, 1e8f);
    EXPECT_EQ(v.y, 1.0f);
    EXPECT_EQ(v.z, 0.0f);
    EXPECT_EQ(v.w, 2.0f);
    EXPECT_EQ(v.r, 10.0f); EXPECT_EQ(v.g, 20.0f); EXPECT_EQ(v.b, 30.0f);
}

TEST(ViewFrustum, FocalLengthAndPlanesBitForBit) {
    SetScreenConstants(512, 384);
    BuildViewFrustum();
    EXPECT_EQ(Bits(Frustum.focalLength), Bits(256.0f));
    EXPECT_EQ(Frustum.centreX, 256);
    EXPECT_EQ(Frustum.centreY, 192);
    const uint32_t d = 0x3C23D70A; // 0.01
    struct {
        const char *name;
        const ClipPlane &p;
        uint32_t a, b, c, d;
    } rows[] = {
        {"near", Frustum.nearPlane, 0, 0, 0xBF800000, 0x3F800000},
        {"far", Frustum.farPlane, 0, 0, 0x3F800000, 0xC3FA0000},
        {"left", Frustum.leftPlane, 0x3F3504F3, 0, 0xBF3504F3, d},
        {"right", Frustum.rightPlane, 0xBF3504F3, 0, 0xBF3504F3, d},
        {"top", Frustum.topPlane, 0, 0xBF4CCCCD, 0xBF19999A, d},
        {"bottom", Frustum.bottomPlane, 0, 0x3F4CCCCD, 0xBF19999A, d},
    };
    for (auto &r : rows) {
        EXPECT_EQ(Bits(r.p.a), r.a) << r.name;
        EXPECT_EQ(Bits(r.p.b), r.b) << r.name;
        EXPECT_EQ(Bits(r.p.c), r.c) << r.name;
        EXPECT_EQ(Bits(r.p.d), r.d) << r.name;
    }
}

TEST(ViewFrustum, BordersLieJustInsideTheVisibleVolume) {
    SetScreenConstants(512, 384);
    BuildViewFrustum();
    const ViewFrustum &f = Frustum;
    EXPECT_EQ(PlaneDistance(f.nearPlane, V(0, 0, -1)), 0.0f);
    EXPECT_EQ(PlaneDistance(f.farPlane, V(0, 0, -500)), 0.0f);
    EXPECT_EQ(PlaneDistance(f.leftPlane, V(-10, 0, -10)), -0.01f);
    EXPECT_NEAR(PlaneDistance(f.topPlane, V(0, 7.5f, -10)), -0.01f, 1e-6f);
    for (const ClipPlane *p : {&f.nearPlane, &f.farPlane, &f.leftPlane, &f.rightPlane,
                               &f.topPlane, &f.bottomPlane})
        EXPECT_GT(PlaneDistance(*p, V(0, 0, -2)), 0.0f);
}

// At any size the view volume and the screen agree: whatever lies inside all
// six planes projects within (-1, width] x (-1, height], where the rasteriser
// draws it, and the volume reaches each border to within a pixel and a half
// (the centre of an odd width or height is the lower middle pixel, so its
// volume stops half a pixel short of one border and reaches half a pixel
// past the other). Walls far larger than the view, facing the eye at
// several depths, are clipped to the volume and projected; the clipper's
// collapse point (three equal vertices, nothing drawn) is left aside.
TEST(ViewFrustum, AtAnySizeTheVolumeProjectsOntoTheWholeScreen) {
    static std::vector<TriangleRecord> projected;
    projected.clear();
    ProjectedSink = [](TriangleRecord &t) { projected.push_back(t); };
    const int sizes[][2] = {{512, 384}, {333, 197}, {17, 16}, {16, 4320}, {7680, 16},
                            {1024, 128}, {96, 640},  {1920, 1080}, {7679, 4319}};
    for (auto size : sizes) {
        const int w = size[0], h = size[1];
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        SetScreenConstants(w, h);
        BuildViewFrustum();
        EXPECT_EQ(Screen.centreX, w / 2);
        EXPECT_EQ(Screen.centreY, h / 2);
        EXPECT_EQ(Frustum.focalLength, (float)(w / 2)); // k is exactly 1
        ResetMatrix(CurrentMatrix);
        float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
        for (float z : {-1.5f, -7.0f, -60.0f, -499.0f}) {
            projected.clear();
            const float e = -z * 1.5f * std::max(1.0f, (float)h / (float)w); // past every border
            DrawTriangle(Tri(V(-e, -e, z), V(e, -e, z), V(e, e, z)), false);
            DrawTriangle(Tri(V(-e, -e, z), V(e, e, z), V(-e, e, z)), false);
            ASSERT_FALSE(projected.empty());
            for (const TriangleRecord &t : projected) {
                if (SameBytes(Tri(t.v[0], t.v[0], t.v[0]), Tri(t.v[0], t.v[1], t.v[2]))) continue;
                for (const Vertex &v : t.v) {
                    EXPECT_GT(v.x, -1.0f);
                    EXPECT_LE(v.x, (float)w);
                    EXPECT_GT(v.y, -1.0f);
                    EXPECT_LE(v.y, (float)h);
                    minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
                    minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
                }
            }
        }
        EXPECT_LT(minX, 1.0f);
        EXPECT_GT(maxX, (float)w - 1.5f);
        EXPECT_LT(minY, 1.0f);
        EXPECT_GT(maxY, (float)h - 1.5f);
    }
    ProjectedSink = nullptr;
    SetScreenConstants(512, 384);
    BuildViewFrustum();
}
