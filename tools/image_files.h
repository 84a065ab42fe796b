// Writing frames to files: all-or-nothing, so a failed write never leaves a
// partial file where the caller asked for one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct OutputFile {
    std::string path;
    std::string bytes;
};

// A colour buffer (0x00RRGGBB) as the bytes of an 8-bit RGB PNG.
std::string EncodePng(const uint32_t *colour, int width, int height);

// Writes every file or none: each goes to PATH.part first and all are renamed
// into place only once every one of them is complete. A directory is refused;
// an existing device or pipe (/dev/stdout, a fifo) is written straight into.
bool WriteFilesTogether(const std::vector<OutputFile> &files, std::string &error);

// Serialises 32-bit words little-endian whatever the host order.
void AppendLittleEndian(std::string &out, const uint32_t *words, size_t count);
