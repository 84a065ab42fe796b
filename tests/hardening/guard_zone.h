// A buffer with a filled zone of known bytes on each side, for tests that
// must prove the renderer never writes outside the memory it was handed.
// AddressSanitizer only sees writes that leave the whole heap block; a stray
// write a few rows past the colour buffer into a neighbouring buffer would
// land in valid memory, so the zones are checked by content.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

struct GuardedBuffer {
    unsigned char *block; // guard | body | guard
    size_t bodyBytes;
    size_t guardBytes;
};

constexpr unsigned char GuardByte = 0xA5;

// Body and zone sizes are rounded to 16 bytes so the body keeps the 16-byte
// alignment the clear's streaming stores need.
inline void *GuardedAlloc(GuardedBuffer &g, size_t bodyBytes, size_t guardBytes) {
    g.bodyBytes = (bodyBytes + 15) & ~(size_t)15;
    g.guardBytes = (guardBytes + 15) & ~(size_t)15;
    g.block = (unsigned char *)std::aligned_alloc(16, g.bodyBytes + 2 * g.guardBytes);
    if (!g.block) std::abort();
    std::memset(g.block, GuardByte, g.guardBytes);
    std::memset(g.block + g.guardBytes, 0, g.bodyBytes);
    std::memset(g.block + g.guardBytes + g.bodyBytes, GuardByte, g.guardBytes);
    return g.block + g.guardBytes;
}

inline void GuardedFree(GuardedBuffer &g) {
    std::free(g.block);
    g.block = nullptr;
}

// True when both zones still hold only GuardByte. Otherwise *firstBad gets
// the offset from the body's start of a changed byte: negative before the
// body, bodyBytes or more after it.
inline bool GuardsIntact(const GuardedBuffer &g, ptrdiff_t *firstBad = nullptr) {
    // Compared a page at a time: this runs after every triangle in the fuzzer.
    static unsigned char pattern[4096];
    if (pattern[0] != GuardByte) std::memset(pattern, GuardByte, sizeof pattern);
    const unsigned char *zones[2] = {g.block, g.block + g.guardBytes + g.bodyBytes};
    for (int z = 0; z < 2; z++) {
        for (size_t at = 0; at < g.guardBytes; at += sizeof pattern) {
            size_t n = g.guardBytes - at < sizeof pattern ? g.guardBytes - at : sizeof pattern;
            if (std::memcmp(zones[z] + at, pattern, n) == 0) continue;
            size_t i = at;
            while (zones[z][i] == GuardByte) i++;
            if (firstBad)
                *firstBad = z == 0 ? (ptrdiff_t)i - (ptrdiff_t)g.guardBytes
                                   : (ptrdiff_t)(g.bodyBytes + i);
            return false;
        }
    }
    return true;
}
