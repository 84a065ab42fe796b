// A float's bits and back, for tests that compare results bit for bit
// (NaN payloads and signed zeros included).
#pragma once
#include <cstdint>
#include <cstring>

inline uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

inline float FloatFromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
