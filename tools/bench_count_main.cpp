// scanvane-bench-counts: the benchmark's counting pass. Built from the same
// renderer sources with SCANVANE_STATS, so its tallies never weigh on the
// timed build; scanvane-bench runs it and merges its lines (their format:
// tools/bench_counts.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/quote.h"
#include "app/size_choice.h"

#include "render/stats.h"
#include "tools/arguments.h"
#include "tools/bench_counts.h"
#include "tools/bench_views.h"

RenderStats Stats;

static const char program[] = "scanvane-bench-counts";

static const char *OnlyView = nullptr; // --view: that view's line alone
static std::string OnlyViewName;
static int WalkFrames = BenchMeasuredFrames;

static bool ApplyView(const std::string &value, std::string &) {
    OnlyViewName = value;
    OnlyView = OnlyViewName.c_str();
    return true;
}

static bool ApplyFrames(const std::string &value, std::string &error) {
    int frames = 0;
    bool digits = value.size() <= 3;
    for (char c : value) digits = digits && c >= '0' && c <= '9', frames = frames * 10 + (c - '0');
    if (!digits || frames < 1 || frames > BenchMeasuredFrames)
        return error = "wants a whole number from 1 to " + std::to_string(BenchMeasuredFrames) +
                       ", got " + Quote(value),
               false;
    WalkFrames = frames;
    return true;
}

// The counting pass draws on one thread: the counts are the same on any.
static std::vector<OptionRow> CountOptionRows() {
    return ProgramOptionRows({
        {"--view", nullptr, "NAME", "only that view's line", ApplyView},
        {"--frames", nullptr, "N",
         "the walk's first N frames (default: all " + std::to_string(BenchMeasuredFrames) + ")",
         ApplyFrames},
        {"--threads", nullptr, nullptr, "", nullptr},
    });
}

int main(int argc, char **argv) {
    std::string error;
    const std::vector<OptionRow> rows = CountOptionRows();
    if (!ParseOptions(rows, ToolArguments(argc, argv), error)) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    if (Chosen.help || Chosen.version) {
        if (Chosen.help)
            std::fputs(
                (UsageText(program, rows) +
                 "Counting pass of scanvane-bench; prints one line of work counts per view.\n" +
                 OptionsHelp(rows))
                    .c_str(),
                stdout);
        else
            std::printf("%s\n", VersionLine(program).c_str());
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (!ApplyChosenFill(error)) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    const char *only = OnlyView;
    const int walkFrames = WalkFrames;
    StartBenchGraphics(Chosen.size);
    for (const BenchView &view : BenchViews) {
        if (only && std::strcmp(only, view.name) != 0) continue;
        Stats = RenderStats{};
        const int frames = view.walk ? walkFrames : 1;
        ViewCounts counts;
        counts.crc = HashView(view, frames);
        counts.name = view.name, counts.frames = frames;
        counts.tested = Stats.pixelsTested, counts.written = Stats.pixelsWritten;
        counts.spans = Stats.spans, counts.drawn = Stats.trianglesDrawn;
        counts.rejected = Stats.rejected, counts.clipped = Stats.clipped;
        counts.split = Stats.split;
        std::fputs(FormatCountLine(counts).c_str(), stdout);
    }
    return 0;
}
