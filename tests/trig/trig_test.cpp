// The Windows and wasm builds take sin, cos and tan from crt/trig.cpp,
// Linux from glibc. Frames are identical across them only if both give
// the same floats where the camera and view matrix convert them, so these
// tests hold the replacement to the true values and to the C library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "crt/trig.h"
#include "tests/lib/float_bits.h"

namespace {

uint64_t BitsOf(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// True values rounded to nearest, from a 4000-bit evaluation elsewhere.
struct Reference {
    double x, sin, cos, tan;
};

const Reference references[] = {
    // 876491.625 = 50160600 degrees: x87 fsin rounds this to the next float.
    {0x1.ab79740000000p+19, 0x1.d60a1efffaadbp-13, 0x1.ffffff283db54p-1, 0x1.d60a1fc60e4c7p-13},
    {0x1.93e5940000000p+99, -0x1.95135fcc7c53cp-1, -0x1.3924432ee4d87p-1, 0x1.4b28751fb4af0p+0},
    {0x1.0p+63, 0x1.fff6dfd42dc54p-1, 0x1.82aa375b3c33ep-7, 0x1.52f50e757941dp+6},
    {0x1.fffffffffffffp+1023, 0x1.452fc98b34e97p-8, -0x1.fffe62ecfab75p-1, -0x1.4530cfe729484p-8},
    {0x1.921fb54442d18p+0, 0x1.0000000000000p+0, 0x1.1a62633145c07p-54, 0x1.d02967c31cdb5p+53},
    {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1.0000000000000p+0, -0x1.1a62633145c07p-53},
    {0x1.6c6cbc45dc8dep+7, 0x1.6d61b58c99c43p-59, 0x1.0000000000000p+0, 0x1.6d61b58c99c43p-59},
    {0x0.0000000000001p-1022, 0x0.0000000000001p-1022, 0x1.0000000000000p+0, 0x0.0000000000001p-1022},
    {0x1.2d97c7f3321d2p+1, 0x1.6a09e667f3bcdp-1, -0x1.6a09e667f3bccp-1, -0x1.0000000000001p+0},
    {0x1.c463abeccb2bbp+2, 0x1.6a09e667f3bcbp-1, 0x1.6a09e667f3bcep-1, 0x1.ffffffffffffbp-1},
};

TEST(TrigReplacement, MatchesCorrectlyRoundedValues) {
    for (const Reference &r : references) {
        SCOPED_TRACE(r.x);
        EXPECT_EQ(BitsOf(TrigSin(r.x)), BitsOf(r.sin));
        EXPECT_EQ(BitsOf(TrigCos(r.x)), BitsOf(r.cos));
        EXPECT_EQ(BitsOf(TrigTan(r.x)), BitsOf(r.tan));
        double s, c;
        TrigSinCos(r.x, &s, &c);
        EXPECT_EQ(BitsOf(s), BitsOf(r.sin));
        EXPECT_EQ(BitsOf(c), BitsOf(r.cos));
    }
}

TEST(TrigReplacement, OddAndEvenAndSpecialValues) {
    for (const Reference &r : references) {
        EXPECT_EQ(BitsOf(TrigSin(-r.x)), BitsOf(-r.sin));
        EXPECT_EQ(BitsOf(TrigCos(-r.x)), BitsOf(r.cos));
        EXPECT_EQ(BitsOf(TrigTan(-r.x)), BitsOf(-r.tan));
    }
    EXPECT_EQ(BitsOf(TrigSin(-0.0)), BitsOf(-0.0));
    EXPECT_EQ(BitsOf(TrigTan(-0.0)), BitsOf(-0.0));
    EXPECT_EQ(TrigCos(-0.0), 1.0);
    EXPECT_TRUE(std::isnan(TrigSin(INFINITY)));
    EXPECT_TRUE(std::isnan(TrigCos(-INFINITY)));
    EXPECT_TRUE(std::isnan(TrigTan(NAN)));
}

// Angles reach sin and cos as floats widened to double, and come back as
// floats: over a sweep of every 4099th float the two must agree there.
TEST(TrigReplacement, AgreesWithTheCLibraryOnFloatAngles) {
    long compared = 0;
    for (uint64_t bits = 1; bits < 0xFF800000u; bits += 4099) {
        if (bits >= 0x7F800000u && bits <= 0x80000000u) continue; // NaN, inf, -0
        double a = FloatFromBits((uint32_t)bits);
        double s, c;
        TrigSinCos(a, &s, &c);
        ASSERT_EQ((float)s, (float)std::sin(a)) << "sin of " << a;
        ASSERT_EQ((float)c, (float)std::cos(a)) << "cos of " << a;
        compared++;
    }
    EXPECT_GT(compared, 1000000);
}

// The frustum's half angle, just under pi/4: its tangent must round to 1.0f.
TEST(TrigReplacement, FrustumHalfAngleTangent) {
    EXPECT_EQ((float)TrigTan(0.7853981573134661), 1.0f);
    EXPECT_EQ((float)TrigTan(0.7853981573134661), (float)std::tan(0.7853981573134661));
}

} // namespace
