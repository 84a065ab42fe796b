// scanvane-bench-counts: the benchmark's counting pass. Built from the same
// renderer sources with SCANVANE_STATS, so its tallies never weigh on the
// timed build; scanvane-bench runs it and merges its lines (their format:
// tools/bench_counts.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/size_choice.h"

#include "render/stats.h"
#include "tools/bench_counts.h"
#include "tools/bench_views.h"

RenderStats Stats;

static int Usage(bool asked) {
    std::fputs("usage: scanvane-bench-counts [--size WIDTHxHEIGHT] [--view NAME] [--frames N]\n"
               "Counting pass of scanvane-bench; prints one line of work counts per view\n"
               "(only NAME's with --view; the walk's first N frames with --frames).\n",
               asked ? stdout : stderr);
    return asked ? 0 : 2;
}

int main(int argc, char **argv) {
    std::string error;
    const char *only = nullptr;
    int walkFrames = BenchMeasuredFrames;
    FrameSize size = {DefaultFrameWidth, DefaultFrameHeight};
    for (int i = 1; i < argc; i += 2) {
        if (!std::strcmp(argv[i], "--help")) return Usage(true);
        if (i + 1 >= argc) return Usage(false);
        if (!std::strcmp(argv[i], "--size")) {
            if (!ParseFrameSize(argv[i + 1], size, error)) {
                std::fprintf(stderr, "scanvane-bench-counts: --size '%.60s' %s\n", argv[i + 1],
                             error.c_str());
                return 2;
            }
        } else if (!std::strcmp(argv[i], "--view")) {
            only = argv[i + 1];
        } else if (!std::strcmp(argv[i], "--frames")) {
            walkFrames = std::atoi(argv[i + 1]);
            if (walkFrames < 1 || walkFrames > BenchMeasuredFrames) return Usage(false);
        } else {
            return Usage(false);
        }
    }
    StartBenchGraphics(size);
    for (const BenchView &view : BenchViews) {
        if (only && std::strcmp(only, view.name) != 0) continue;
        Stats = RenderStats{};
        const int frames = view.walk ? walkFrames : 1;
        ViewCounts counts;
        counts.crc = HashView(view, frames);
        counts.name = view.name, counts.frames = frames;
        counts.tested = Stats.pixelsTested, counts.written = Stats.pixelsWritten;
        counts.spans = Stats.spans, counts.drawn = Stats.trianglesDrawn;
        counts.rejected = Stats.rejected, counts.clipped = Stats.clipped, counts.split = Stats.split;
        std::fputs(FormatCountLine(counts).c_str(), stdout);
    }
    return 0;
}
