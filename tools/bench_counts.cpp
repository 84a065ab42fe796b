#include "tools/bench_counts.h"

#include <cinttypes>
#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define popen _popen
#define pclose _pclose
#else
#include <unistd.h>
#endif

static const char countsName[] = "scanvane-bench-counts";

std::string FormatCountLine(const ViewCounts &c) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s %d %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64
                  " %" PRIu64 " %08" PRIx32 "\n",
                  c.name.c_str(), c.frames, c.tested, c.written, c.spans, c.drawn, c.rejected,
                  c.clipped, c.split, c.crc);
    return line;
}

bool ParseCountLine(const std::string &line, ViewCounts &c) {
    char name[64];
    int end = 0;
    if (std::sscanf(line.c_str(),
                    "%63s %d %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64
                    " %" SCNu64 " %8" SCNx32 "%n",
                    name, &c.frames, &c.tested, &c.written, &c.spans, &c.drawn, &c.rejected,
                    &c.clipped, &c.split, &c.crc, &end) != 10)
        return false;
    c.name = name;
    const std::string rest = line.substr((size_t)end);
    return c.frames > 0 && (rest.empty() || rest == "\n");
}

std::string CountsProgramPath(const char *argv0) {
    std::string self = argv0;
#ifdef __linux__
    char link[4096];
    ssize_t n = readlink("/proc/self/exe", link, sizeof link - 1);
    if (n > 0) self.assign(link, (size_t)n);
#endif
    size_t slash = self.find_last_of("/\\");
    std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
    return dir + "/" + countsName;
}

bool CountsProgramPresent(const std::string &program, std::string &error) {
#ifdef _WIN32
    const bool present = _access((program + ".exe").c_str(), 0) == 0;
#else
    const bool present = access(program.c_str(), X_OK) == 0;
#endif
    if (present) return true;
    const size_t slash = program.find_last_of("/\\");
    error = std::string(countsName) + " is missing: it must sit beside scanvane-bench, in " +
            program.substr(0, slash) + " (it counts each view's work and checks the frames)";
    return false;
}

bool RunCountingPass(const std::string &program, FrameSize size, const char *view, int walkFrames,
                     std::vector<ViewCounts> &lines, std::string &error) {
    if (!CountsProgramPresent(program, error)) return false;
    // The counting pass draws the same size, or its frames could not agree.
    std::string command = "\"" + program + "\" --size " + std::to_string(size.width) + "x" +
                          std::to_string(size.height) + " --frames " + std::to_string(walkFrames);
    if (view) command += std::string(" --view ") + view;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return error = "cannot run " + program, false;
    lines.clear();
    char text[512];
    bool bad = false;
    while (std::fgets(text, sizeof text, pipe)) {
        ViewCounts counts;
        if (ParseCountLine(text, counts))
            lines.push_back(counts);
        else
            bad = true;
    }
    const int status = pclose(pipe);
    if (status != 0)
        return error = program + " failed (status " + std::to_string(status) + ")", false;
    if (bad || lines.empty()) return error = program + " printed a line that is not a count", false;
    return true;
}
