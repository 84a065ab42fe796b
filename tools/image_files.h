// Writing frames to files: all-or-nothing, so a failed write never leaves a
// partial file where the caller asked for one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct OutputFile {
    std::string path;
    std::string bytes;
};

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
// directory, a missing folder or a full device is refused at once; leaves
// nothing behind.
bool CheckOutputPath(const std::string &path, std::string &error);

// Renames every staged file into place, once the whole run has succeeded.
bool CommitFiles(StagedFiles &staged, std::string &error);

// Outputs opened before the work starts, so that a path that cannot take
// one is refused before anything is drawn, then written a piece at a time.
// A file is written as PATH.part and renamed into place by CommitOutputs; a
// device or pipe (/dev/stdout, a fifo) cannot be renamed onto and is written
// straight into.
struct OutputStream {
    std::string path, part; // part empty: written straight into path
    FILE *file = nullptr;
};
struct OpenOutputs {
    std::vector<OutputStream> streams;
    OpenOutputs() = default;
    OpenOutputs(const OpenOutputs &) = delete;
    OpenOutputs &operator=(const OpenOutputs &) = delete;
    ~OpenOutputs(); // closes them, and removes every .part not committed
};

// Opens every path for writing, or none (and says which failed and why). A
// directory is refused; a device is asked to take a write of no bytes, which
// one that takes none (/dev/full) refuses.
bool OpenOutputFiles(const std::vector<std::string> &paths, OpenOutputs &outputs,
                     std::string &error);

// Writes size bytes to an output; error says why not.
bool WriteOutput(OutputStream &output, const void *data, size_t size, std::string &error);

// Closes one output, its bytes out of the program's buffers; error says why
// not (a full disk often shows only here).
bool CloseOutput(OutputStream &output, std::string &error);

// Closes whatever is still open and renames the files into place, once the
// whole run has succeeded; after a failure the rest go unrenamed.
bool CommitOutputs(OpenOutputs &outputs, std::string &error);
