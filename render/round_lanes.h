// Four floats to four 32-bit integers as cvtps2dq does under the default
// MXCSR: nearest, ties to even; NaN and anything outside the int32 range give
// 0x80000000. On x86 that is the instruction itself. WebAssembly has no such
// instruction and Emscripten's emulation calls lrint once per lane, which made
// frames about eleven times slower, so there it is built from wasm's own
// rounding and saturating truncation with the out-of-range lanes patched.
#pragma once
#include <cstdint>
#include <emmintrin.h>

#ifdef __wasm_simd128__
#include <wasm_simd128.h>

inline __m128i RoundLanes(__m128 v) {
    const float twoTo31 = 2147483648.0f;
    const int32_t outOfRange = INT32_MIN; // 0x80000000
    v128_t nearest = wasm_f32x4_nearest((v128_t)v);
    v128_t truncated = wasm_i32x4_trunc_sat_f32x4(nearest); // NaN -> 0, big -> INT32_MAX
    // False for NaN and for 2^31 and above; below -2^31 saturation already
    // gives 0x80000000.
    v128_t inRange = wasm_f32x4_lt(nearest, wasm_f32x4_splat(twoTo31));
    return (__m128i)wasm_v128_bitselect(truncated, wasm_i32x4_splat(outOfRange), inRange);
}
#else
inline __m128i RoundLanes(__m128 v) { return _mm_cvtps_epi32(v); }
#endif
