// What the tools share beside their options (app/options.h): the one-line
// failure and the check of standard output.
#pragma once
#include <string>

// "program: message" on standard error; returns the usage exit status, 2.
int ToolFail(const char *program, const std::string &message);
// Standard output flushed; false when it could not be written (full disk,
// closed pipe), which is a failure rather than success.
bool StandardOutputWritten();
