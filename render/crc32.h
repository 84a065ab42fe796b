// CRC-32 as zlib computes it (reflected polynomial 0xEDB88320): what the
// tools print and the tests compare for a frame's colour and depth buffers.
#pragma once
#include <cstddef>
#include <cstdint>

uint32_t Crc32(uint32_t crc, const void *data, size_t size);
