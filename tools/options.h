// The command line both tools share: `--name value` or `--name=value`, flags
// without one, every option at most once, and the same one-line messages and
// exit status 2 for every usage error. Each tool lists its options in a
// table; --help (also -h), --version, --fill and --size are in every table.
#pragma once
#include <string>
#include <vector>

#include "app/size_choice.h"

struct ToolOption {
    const char *name; // "--png"
    bool takesValue;  // false: a flag
    bool given = false;
    std::string value; // as given, never empty when given
    ToolOption(const char *name, bool takesValue) : name(name), takesValue(takesValue) {}
};

// The options every tool has, to start its table with.
std::vector<ToolOption> CommonToolOptions();

// Fills in the table from argv; false with a one-line message in error
// (unknown option, missing or empty value, a value on a flag, given twice).
bool ParseToolOptions(int argc, char **argv, std::vector<ToolOption> &options, std::string &error);
// The option of that name, which the table must hold.
const ToolOption &FindOption(const std::vector<ToolOption> &options, const char *name);

// "sse2|avx2|avx512", for the help texts.
std::string FillPathChoices();
// The span fill from --fill (fill, empty when not given), else from the
// environment variable, else the widest that runs here; false with a message
// saying which of the two named what. Called before InitGraphics, which then
// keeps it.
bool ChooseToolFill(const std::string &fill, std::string &error);

// The frame size from --size (text, empty when not given: 512 x 384); false
// with "--size 'TEXT' ..." in error.
bool ToolFrameSize(const std::string &text, FrameSize &size, std::string &error);

// "scanvane-render 1.02": the build's version.
std::string VersionLine(const char *program);

// "program: message" on standard error; returns the usage exit status, 2.
int ToolFail(const char *program, const std::string &message);
// Standard output flushed; false when it could not be written (full disk,
// closed pipe), which is a failure rather than success.
bool StandardOutputWritten();
