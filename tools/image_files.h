// Writing frames to files: all-or-nothing, so a failed write never leaves a
// partial file where the caller asked for one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The 512 x 384 colour buffer (0x00RRGGBB) as an 8-bit RGB PNG.
bool WritePng(const std::string &path, const uint32_t *colour, int width, int height,
              std::string &error);

// Raw bytes, little-endian words as they lie in memory on x86.
bool WriteRaw(const std::string &path, const void *data, size_t size, std::string &error);

// Serialises 32-bit words little-endian whatever the host order.
void AppendLittleEndian(std::string &out, const uint32_t *words, size_t count);
