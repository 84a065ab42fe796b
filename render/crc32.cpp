#include "render/crc32.h"

namespace {
struct CrcTable {
    uint32_t entry[256];
    CrcTable() {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[n] = c;
        }
    }
};
} // namespace

uint32_t Crc32(uint32_t crc, const void *data, size_t size) {
    // Built on first use, once, even when threads hash at the same time.
    static const CrcTable table;
    const uint8_t *p = (const uint8_t *)data;
    crc = ~crc;
    while (size--) crc = table.entry[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
