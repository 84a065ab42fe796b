#include "tools/options.h"

#include <cstdio>

int ToolFail(const char *program, const std::string &message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return 2;
}

bool StandardOutputWritten() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }
