// The page's URL values read as the programs read their options
// (app/options.h): the same limits and the same words, so page.js keeps no
// rule of its own.
#include <emscripten.h>

#include <string>

#include "app/options.h"

namespace {
std::string ThreadsError;
int ThreadsRead = 1;
} // namespace

extern "C" {
// threads=TEXT, with the hardware threads the browser reports. Returns ""
// (the count is then WebThreadsRead's) or the refusal, "threads wants ...".
EMSCRIPTEN_KEEPALIVE const char *WebReadThreads(const char *text, int hardwareThreads) {
    int threads = 1;
    ThreadsError.clear();
    if (!ReadThreadsValue(text, threads, ThreadsError)) {
        ThreadsError = "threads " + ThreadsError;
        return ThreadsError.c_str();
    }
    ThreadsRead = ThreadsToStart(threads, hardwareThreads);
    return "";
}

// The threads to draw on, as the latest WebReadThreads read them.
EMSCRIPTEN_KEEPALIVE int WebThreadsRead() { return ThreadsRead; }
}
