#include "tools/crc32.h"

static uint32_t crcTable[256];

static void BuildTable() {
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable[n] = c;
    }
}

uint32_t Crc32(uint32_t crc, const void *data, size_t size) {
    if (!crcTable[1]) BuildTable();
    const uint8_t *p = (const uint8_t *)data;
    crc = ~crc;
    while (size--) crc = crcTable[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
