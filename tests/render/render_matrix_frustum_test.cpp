// The current matrix, the vertex transform and the view volume.
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
