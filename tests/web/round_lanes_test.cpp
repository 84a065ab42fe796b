// RoundLanes against cvtps2dq's rule, written out one float at a time, and
// against Emscripten's own _mm_cvtps_epi32 (four lrint calls) that it
// replaces: the edges one by one, then a sweep over the bit patterns.
// Prints one line per failure and the count; exits 1 on any failure.
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "render/round_lanes.h"
#include "tests/lib/float_bits.h"

namespace {
const int32_t OutOfRange = INT32_MIN;


// The instruction's rule: nearest with ties to even, and 0x80000000 for NaN
// or a rounded value outside [-2^31, 2^31).
int32_t Expected(float x) {
    if (std::isnan(x)) return OutOfRange;
    double r = std::nearbyint((double)x); // default rounding: ties to even
    if (r < -2147483648.0 || r >= 2147483648.0) return OutOfRange;
    return (int32_t)r;
}

long failures = 0;

// Four lanes at a time, so each lane's position is exercised.
void Check(const float in[4]) {
    __m128 v = _mm_loadu_ps(in);
    int32_t got[4], emulated[4];
    _mm_storeu_si128((__m128i *)got, RoundLanes(v));
    _mm_storeu_si128((__m128i *)emulated, _mm_cvtps_epi32(v));
    for (int i = 0; i < 4; i++) {
        int32_t want = Expected(in[i]);
        if (got[i] == want && emulated[i] == want) continue;
        if (++failures <= 20)
            std::printf("FAIL lane %d input %a (bits %08" PRIx32 "): got %" PRId32 ", rule %" PRId32
                        ", _mm_cvtps_epi32 %" PRId32 "\n",
                        i, (double)in[i], Bits(in[i]), got[i], want, emulated[i]);
    }
}

void CheckEdges() {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float twoTo31 = 2147483648.0f;
    // clang-format off
    const float edges[] = {
        // ties and near-ties, around the colour range and the float grid
        0.0f, -0.0f, 0.5f, -0.5f, 1.5f, -1.5f, 2.5f, -2.5f, 3.5f, 127.5f, 254.5f, 255.5f,
        0.49999997f, -0.49999997f, 8388607.5f, -8388607.5f, 8388608.0f, 16777216.0f,
        // the ends of the int32 range
        twoTo31, -twoTo31, std::nextafter(twoTo31, 0.0f), std::nextafter(-twoTo31, 0.0f),
        std::nextafter(-twoTo31, -inf), 4294967296.0f, -4294967296.0f,
        std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
        std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
        // infinities and NaNs, quiet and signalling, both signs
        inf, -inf, nan, -nan, FloatFromBits(0x7f800001u), FloatFromBits(0xffc00001u)};
    // clang-format on
    const int count = sizeof edges / sizeof edges[0];
    // Every edge in every lane, next to every other edge.
    for (int a = 0; a < count; a++)
        for (int b = 0; b < count; b++) {
            float lanes[4] = {edges[a], edges[b], edges[(a + 1) % count], edges[(b + 3) % count]};
            Check(lanes);
        }
}

// Every 61st bit pattern (61 is odd, so all exponents and both signs come
// round with varied mantissas), plus every half-integer tie up to 2^16.
void Sweep() {
    const uint32_t stride = 61;
    float lanes[4];
    int n = 0;
    for (uint64_t bits = 0; bits <= 0xffffffffull; bits += stride) {
        lanes[n++] = FloatFromBits((uint32_t)bits);
        if (n == 4) Check(lanes), n = 0;
    }
    for (int32_t k = -65536; k < 65536; k += 4) {
        float ties[4] = {k + 0.5f, k + 1.5f, k + 2.5f, k + 3.5f};
        Check(ties);
    }
}
} // namespace

int main() {
    CheckEdges();
    Sweep();
    std::printf("%s: %ld failure%s\n", failures ? "FAIL" : "ok", failures,
                failures == 1 ? "" : "s");
    return failures ? 1 : 0;
}
