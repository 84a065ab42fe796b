// The built-in scene table: size, contents and the shape it must have.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/scene.h"
#include "render/crc32.h"

TEST(Scene, HoldsExactly88Records) {
    EXPECT_EQ(SceneTriangleCount, 88);
    EXPECT_EQ(sizeof SceneTriangles / sizeof SceneTriangles[0], 88u);
}

// Both figures were computed from the published table of 88 triangles
// (with w = 1 on every vertex), not from this code: any changed, swapped or
// missing value changes them.
TEST(Scene, VertexDataMatchesTheTableChecksums) {
    uint32_t crc = 0;
    int64_t weighted = 0;
    for (int i = 0; i < SceneTriangleCount; i++) {
        // The vertex part only; the flag word is the frame cycle's to write.
        crc = Crc32(crc, SceneTriangles[i].v, sizeof SceneTriangles[i].v);
        for (int k = 0; k < 3; k++) {
            const float *f = &SceneTriangles[i].v[k].x;
            for (int field = 0; field < 7; field++)
                weighted += (int64_t)f[field] * (i + 1) * (7 * k + field + 1);
        }
    }
    EXPECT_EQ(crc, 0xd5e65285u);
    EXPECT_EQ(weighted, 49359383);
}

TEST(Scene, EveryValueIsWholeWithUnitWAndColoursInRange) {
    for (int i = 0; i < SceneTriangleCount; i++) {
        EXPECT_EQ(SceneTriangles[i].clipFlags, 0u) << "record " << i;
        for (const Vertex &v : SceneTriangles[i].v) {
            EXPECT_EQ(v.w, 1.0f) << "record " << i;
            for (float c : {v.r, v.g, v.b}) {
                EXPECT_GE(c, 0.0f) << "record " << i;
                EXPECT_LE(c, 255.0f) << "record " << i;
            }
            for (float value : {v.x, v.y, v.z, v.r, v.g, v.b})
                EXPECT_EQ(value, std::floor(value)) << "record " << i;
        }
    }
}

static void ExpectVertex(int record, int corner, float x, float y, float z, float r, float g, float b) {
    const Vertex &v = SceneTriangles[record].v[corner];
    EXPECT_EQ(v.x, x) << "record " << record << " corner " << corner;
    EXPECT_EQ(v.y, y) << "record " << record << " corner " << corner;
    EXPECT_EQ(v.z, z) << "record " << record << " corner " << corner;
    EXPECT_EQ(v.r, r) << "record " << record << " corner " << corner;
    EXPECT_EQ(v.g, g) << "record " << record << " corner " << corner;
    EXPECT_EQ(v.b, b) << "record " << record << " corner " << corner;
}

TEST(Scene, SelectedRecordsByHand) {
    // The first door triangle, brown with a lighter corner.
    ExpectVertex(0, 0, 20, 0, -160, 100, 50, 0);
    ExpectVertex(0, 1, 40, 0, -160, 200, 100, 0);
    ExpectVertex(0, 2, 40, 40, -160, 100, 50, 0);
    // The top band of the front wall, shading to black.
    ExpectVertex(13, 0, 0, 40, -160, 255, 255, 255);
    ExpectVertex(13, 1, 0, 50, -160, 0, 0, 0);
    ExpectVertex(13, 2, 140, 50, -160, 0, 0, 0);
    // The lowest riser of the steps.
    ExpectVertex(45, 0, 0, -10, -40, 40, 40, 50);
    ExpectVertex(45, 1, 0, -15, -40, 20, 20, 30);
    ExpectVertex(45, 2, 80, -15, -40, 20, 20, 30);
    // A crown face of the tree, up to the apex.
    ExpectVertex(77, 0, 150, 30, -60, 20, 70, 10);
    ExpectVertex(77, 1, 180, 30, -60, 20, 70, 10);
    ExpectVertex(77, 2, 165, 60, -75, 20, 30, 10);
    // The last ceiling triangle of the sky box.
    ExpectVertex(87, 0, -80, 200, 0, 255, 255, 255);
    ExpectVertex(87, 1, -80, 200, -340, 255, 255, 255);
    ExpectVertex(87, 2, 240, 200, -340, 255, 255, 255);
}

// Barycentric inside test in the x-y plane, edges included.
static bool CoversPoint(const TriangleRecord &t, float px, float py) {
    auto side = [&](const Vertex &a, const Vertex &b) {
        return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
    };
    float d0 = side(t.v[0], t.v[1]), d1 = side(t.v[1], t.v[2]), d2 = side(t.v[2], t.v[0]);
    bool negative = d0 < 0 || d1 < 0 || d2 < 0, positive = d0 > 0 || d1 > 0 || d2 > 0;
    return !(negative && positive);
}

TEST(Scene, NothingCoversTheWindowOpening) {
    int frontWall = 0;
    for (const TriangleRecord &t : SceneTriangles) {
        if (t.v[0].z != -160 || t.v[1].z != -160 || t.v[2].z != -160) continue;
        frontWall++;
        for (float px : {81.0f, 100.0f, 119.0f})
            for (float py : {11.0f, 20.0f, 29.0f}) EXPECT_FALSE(CoversPoint(t, px, py)) << px << "," << py;
    }
    // The wall is there around the opening: the test looks at real geometry.
    EXPECT_EQ(frontWall, 14);
}
