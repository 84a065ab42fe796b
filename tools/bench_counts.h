// The counting pass (scanvane-bench-counts): the renderer built once more with
// its tallies compiled in, run as a program of its own so the counters can
// neither slow nor change what is timed. It prints one line a view:
//   NAME FRAMES TESTED WRITTEN SPANS DRAWN REJECTED CLIPPED SPLIT CRC
// every count summed over FRAMES frames and CRC as HashView gives it (8 hex
// digits). The writer and the reader of that line are here, and the runner.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/size_choice.h"

struct ViewCounts {
    std::string name;
    int frames = 0;
    uint64_t tested = 0, written = 0, spans = 0, drawn = 0, rejected = 0, clipped = 0, split = 0;
    uint32_t crc = 0;
};

// The line, newline included.
std::string FormatCountLine(const ViewCounts &counts);
// False for anything but one whole line of that form with FRAMES above 0.
bool ParseCountLine(const std::string &line, ViewCounts &counts);

// Where the counting pass must be: beside this program (argv0, or on Linux
// the executable's own path).
std::string CountsProgramPath(const char *argv0);

// False with one line saying what is missing and where it must be.
bool CountsProgramPresent(const std::string &program, std::string &error);

// Runs the counting pass at that size (only view's line when view is given,
// the walk's first walkFrames) and returns its lines; false with a message
// when it fails or prints a line that is not a count.
bool RunCountingPass(const std::string &program, FrameSize size, const char *view, int walkFrames,
                     std::vector<ViewCounts> &lines, std::string &error);
