// scanvane-bench-counts: the benchmark's counting pass. Built from the same
// renderer sources with SCANVANE_STATS, so its tallies never weigh on the
// timed build; scanvane-bench runs it and merges its lines. One line a view:
//   NAME FRAMES TESTED WRITTEN SPANS DRAWN REJECTED CLIPPED SPLIT HASH
// with every count summed over FRAMES frames and HASH as HashView gives it.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/size_choice.h"

#include "render/stats.h"
#include "tools/bench_views.h"

RenderStats Stats;

int main(int argc, char **argv) {
    std::string error;
    if (argc == 3 && !std::strcmp(argv[1], "--size")) {
        if (!ParseFrameSize(argv[2], ChosenFrameSize, error)) {
            std::fprintf(stderr, "scanvane-bench-counts: --size '%.60s' %s\n", argv[2], error.c_str());
            return 2;
        }
    } else if (argc > 1) {
        std::fputs("usage: scanvane-bench-counts [--size WIDTHxHEIGHT]\n"
                   "Counting pass of scanvane-bench; prints one line of work counts per view.\n",
                   std::strcmp(argv[1], "--help") == 0 ? stdout : stderr);
        return std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
    }
    StartBenchGraphics();
    for (const BenchView &view : BenchViews) {
        Stats = RenderStats{};
        uint64_t hash = HashView(view);
        int frames = view.walk ? BenchMeasuredFrames : 1;
        std::printf("%s %d %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRIu64
                    " %" PRIu64 " %016" PRIx64 "\n",
                    view.name, frames, Stats.pixelsTested, Stats.pixelsWritten, Stats.spans,
                    Stats.trianglesDrawn, Stats.rejected, Stats.clipped, Stats.split, hash);
    }
    return 0;
}
