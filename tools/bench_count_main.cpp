// scanvane-bench-counts: the benchmark's counting pass. Built from the same
// renderer sources with SCANVANE_STATS, so its tallies never weigh on the
// timed build; scanvane-bench runs it and merges its lines. One line a view:
//   NAME FRAMES TESTED WRITTEN SPANS DRAWN REJECTED CLIPPED SPLIT HASH
// with every count summed over FRAMES frames and HASH as HashView gives it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/size_choice.h"

#include "render/stats.h"
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
        uint64_t hash = HashView(view, frames);
        std::printf("%s %d %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64
                    " %" PRIu64 " %016" PRIx64 "\n",
                    view.name, frames, Stats.pixelsTested, Stats.pixelsWritten, Stats.spans,
                    Stats.trianglesDrawn, Stats.rejected, Stats.clipped, Stats.split, hash);
    }
    return 0;
}
