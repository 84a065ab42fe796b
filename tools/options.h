// What the tools share beside their options (app/options.h): the one-line
// failure and the check of standard output. ToolOption and its parser are
// the benchmark's until it reads its options from the rows of app/options.h;
// they give the same messages.
#pragma once
#include <string>
#include <vector>

#include "app/options.h"
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

// The span fill from --fill (fill, empty when not given), else from the
// environment variable, else the widest that runs here; false with a message
// saying which of the two named what. Called before InitGraphics, which then
// keeps it.
bool ChooseToolFill(const std::string &fill, std::string &error);

// The frame size from --size (text, empty when not given: 512 x 384); false
// with "--size 'TEXT' ..." in error.
bool ToolFrameSize(const std::string &text, FrameSize &size, std::string &error);

// "program: message" on standard error; returns the usage exit status, 2.
int ToolFail(const char *program, const std::string &message);
// Standard output flushed; false when it could not be written (full disk,
// closed pipe), which is a failure rather than success.
bool StandardOutputWritten();
