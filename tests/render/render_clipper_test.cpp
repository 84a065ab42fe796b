// ClipTriangle against one plane: the output list for every in/out pattern,
// the split-off triangle, the collapse point, the crossing arithmetic and the
// inside threshold. Split-off triangles are logged, not drawn.
#include <cmath>

#include "render/clipper.h"
#include "tests/render/render_test_support.h"

class Clipper : public RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        Seen.forwardDraws = false;
    }
};

static const ClipPlane NearLike = {0, 0, -1, 1}; // inside where z < -1
static const uint32_t Flags = 0xA5A5A500u | ClipNear;

static void ExpectSame(const Vertex &got, const Vertex &want, const char *what) {
    EXPECT_EQ(got.x, want.x) << what;
    EXPECT_EQ(got.y, want.y) << what;
    EXPECT_EQ(got.z, want.z) << what;
    EXPECT_EQ(got.r, want.r) << what;
    EXPECT_EQ(got.g, want.g) << what;
    EXPECT_EQ(got.b, want.b) << what;
}

TEST_F(Clipper, EveryInsideOutsidePattern) {
    // Inside vertices sit at z = -3, outside ones at z = 1: every cut is at
    // t = 0.5 and z = -1, and all values below are exact.
    const Vertex I01 = V(4, 0, -1, 30, 40, 50), I12 = V(4, 4, -1, 70, 80, 90),
                 I20 = V(0, 4, -1, 50, 60, 70);
    struct {
        const char *pattern; // V0 V1 V2; i = inside
        const char *out;     // A B C = V0 V1 V2, a b c = I01 I12 I20
    } rows[] = {{"iii", "ABC"},  {"iio", "ABbc"}, {"ioi", "AabC"}, {"oii", "aBCc"},
                {"ioo", "Aac"},  {"oio", "aBb"},  {"ooi", "bCc"}};
    for (auto &row : rows) {
        Seen = SeamLog();
        Seen.forwardDraws = false;
        Vertex in[3] = {V(0, 0, 0, 10, 20, 30, 5), V(8, 0, 0, 50, 60, 70, 6),
                        V(0, 8, 0, 90, 100, 110, 7)};
        for (int i = 0; i < 3; i++) in[i].z = row.pattern[i] == 'i' ? -3.0f : 1.0f;
        auto point = [&](char c) {
            return c == 'a' ? I01 : c == 'b' ? I12 : c == 'c' ? I20 : in[c - 'A'];
        };
        TriangleRecord t = Tri(in[0], in[1], in[2], Flags);
        ClipTriangle(t, NearLike);

        for (int i = 0; i < 3; i++) {
            ExpectSame(t.v[i], point(row.out[i]), row.pattern);
            EXPECT_EQ(t.v[i].w, 5.0f + i) << row.pattern; // slot keeps its w
        }
        EXPECT_EQ(t.clipFlags, Flags);
        if (std::strlen(row.out) == 3) {
            EXPECT_EQ(Seen.draws.size(), 0u) << row.pattern;
            continue;
        }
        ASSERT_EQ(Seen.draws.size(), 1u) << row.pattern;
        const DrawCall &split = Seen.draws[0];
        EXPECT_FALSE(split.transform);
        EXPECT_EQ(split.record.clipFlags, Flags);
        const char corners[3] = {row.out[0], row.out[2], row.out[3]};
        for (int i = 0; i < 3; i++) {
            ExpectSame(split.record.v[i], point(corners[i]), row.pattern);
            EXPECT_EQ(split.record.v[i].w, 1.0f) << row.pattern;
        }
    }
}

TEST_F(Clipper, NothingInsideCollapsesOntoOnePoint) {
    TriangleRecord t = Tri(V(1, 2, 3, 10, 20, 30, 4), V(5, 6, 7, 40, 50, 60, 8),
                           V(9, 1, 2, 70, 80, 90, 9), Flags);
    ClipTriangle(t, NearLike);
    const float w[3] = {4, 8, 9};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(t.v[i].x, -256.0f); EXPECT_EQ(t.v[i].y, -192.0f); EXPECT_EQ(t.v[i].z, 1.0f);
        EXPECT_EQ(t.v[i].w, w[i]);
        EXPECT_EQ(t.v[i].r, 10.0f + 30 * i);
    }
    EXPECT_EQ(t.clipFlags, Flags);
    EXPECT_EQ(Seen.draws.size(), 0u);
}

TEST_F(Clipper, CrossingColourFollowsThePositionFactor) {
    // Distances 9 and -6: t = 0.6.
    TriangleRecord t = Tri(V(0, 0, -10, 10, 20, 30), V(0, 1, 5, 70, 80, 90), V(-1, 0, -10));
    ClipTriangle(t, NearLike);
    ExpectSame(t.v[1], V(0, 0.6f, -1, 46, 56, 66), "I01");
}

TEST_F(Clipper, FactorIsMeasuredFromTheEdgeStartEvenWhenOutside) {
    // V0 is outside (distance -0.75), V1 inside (0.75): t = 0.5 from V0.
    const float s = 0.3f, e = 7.0f;
    const float fromStart = (e - s) * 0.5f + s, fromEnd = (s - e) * 0.5f + e;
    ASSERT_NE(fromStart, fromEnd); // the two ends round differently here
    TriangleRecord t = Tri(V(s, 0, -0.25f), V(e, 0, -1.75f), V(0, 5, -3));
    ClipTriangle(t, NearLike);
    EXPECT_EQ(t.v[0].x, fromStart);
    EXPECT_EQ(t.v[0].z, -1.0f);
}

TEST_F(Clipper, DistanceUpTo1em16CountsAsOutside) {
    // Distance is x. V0 and V1 outside, V2 inside: the list starts at V1.
    const ClipPlane plane = {1, 0, 0, 0};
    for (float d : {0.0f, 1e-17f, 1e-16f}) {
        TriangleRecord t = Tri(V(d, 0, -5, 1), V(d, 5, -5, 2), V(3, 0, -5, 3));
        ClipTriangle(t, plane);
        EXPECT_EQ(t.v[0].y, 5.0f) << d;
        ExpectSame(t.v[1], V(3, 0, -5, 3), "V2 second");
        EXPECT_EQ(t.v[2].y, 0.0f) << d;
    }
    const float d = std::nextafter(1e-16f, 1.0f);
    const TriangleRecord in = Tri(V(d, 0, -5, 1), V(d, 5, -5, 2), V(3, 0, -5, 3));
    TriangleRecord t = in;
    ClipTriangle(t, plane);
    EXPECT_TRUE(SameBytes(t, in));
    EXPECT_EQ(Seen.draws.size(), 0u);

    // A distance that is not a number counts as inside.
    TriangleRecord n = Tri(V(NAN, 0, -5), V(-1, 5, -5), V(-2, 0, -5));
    ClipTriangle(n, plane);
    EXPECT_TRUE(std::isnan(n.v[0].x));
}
