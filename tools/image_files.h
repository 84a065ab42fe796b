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

// Files complete under PATH.part, waiting to be renamed into place. Those
// never committed are removed when this goes, so no way out of the program
// leaves one behind.
struct StagedFiles {
    std::vector<std::string> parts, targets;
    StagedFiles() = default;
    StagedFiles(const StagedFiles &) = delete;
    StagedFiles &operator=(const StagedFiles &) = delete;
    ~StagedFiles();
};

// Writes every file to PATH.part, or none (and says which failed and why).
// A directory is refused; an existing device or pipe (/dev/stdout, a fifo)
// cannot be renamed onto and is written straight into, after the others.
bool StageFiles(const std::vector<OutputFile> &files, StagedFiles &staged, std::string &error);

// Whether path can take an output, asked before a long run so that a
// directory or a missing folder is refused at once; leaves nothing behind.
bool CheckOutputPath(const std::string &path, std::string &error);

// Renames every staged file into place, once the whole run has succeeded.
bool CommitFiles(StagedFiles &staged, std::string &error);

// Serialises 32-bit words little-endian whatever the host order.
void AppendLittleEndian(std::string &out, const uint32_t *words, size_t count);
