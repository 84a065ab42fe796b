// The arguments a tool was started with, after its name, as ParseOptions
// (app/options.h) takes them.
#pragma once
#include <string>
#include <vector>

// On Windows they are read from the wide command line, as UTF-8, not from
// argv; elsewhere they are argv's bytes.
std::vector<std::string> ToolArguments(int argc, char **argv);
