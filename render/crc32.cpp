#include "render/crc32.h"

namespace {
// Slicing by eight: entry[k][n] is the CRC of byte n followed by k zero
// bytes, so eight bytes take eight independent lookups instead of a chain of
// eight. A frame's buffers are megabytes; this keeps hashing them far below
// the cost of writing them out.
struct CrcTables {
    uint32_t entry[8][256];
    CrcTables() {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[0][n] = c;
        }
        for (int k = 1; k < 8; k++)
            for (uint32_t n = 0; n < 256; n++)
                entry[k][n] = (entry[k - 1][n] >> 8) ^ entry[0][entry[k - 1][n] & 0xFF];
    }
};

// Four bytes as the little-endian word they make, whatever the host order.
inline uint32_t LoadLittleEndian(const uint8_t *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
} // namespace

uint32_t Crc32(uint32_t crc, const void *data, size_t size) {
    // Built on first use, once, even when threads hash at the same time.
    static const CrcTables tables;
    const auto &t = tables.entry;
    const uint8_t *p = (const uint8_t *)data;
    crc = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        uint32_t one = LoadLittleEndian(p) ^ crc, two = LoadLittleEndian(p + 4);
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^
              t[4][one >> 24] ^ t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^
              t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
    }
    while (size--) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
