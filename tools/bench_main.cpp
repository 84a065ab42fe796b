// scanvane-bench: what one frame's drawing work costs on this machine, per
// named view, next to the cost of merely writing the two buffers; or, with
// --sweep, how that cost grows with the frame's size and the threads. This
// file holds the command line and the order of the work; measuring and
// reporting live in the bench_* files beside it.
#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <vector>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

#include "app/frame_cycle.h"
#include "app/frame_step.h"
#include "app/quote.h"
#include "app/size_choice.h"
#include "app/version.h"
#include "render/bands.h"
#include "render/fill_path.h"
#include "render/frame_size.h"
#include "tools/bench_chart.h"
#include "tools/bench_counts.h"
#include "tools/bench_load.h"
#include "tools/bench_report.h"
#include "tools/bench_report_json.h"
#include "tools/bench_run.h"
#include "tools/bench_sweep.h"
#include "tools/bench_table.h"
#include "tools/bench_views.h"
#include "tools/image_files.h"
#include "tools/options.h"
#include "tools/render_options.h"

static const char program[] = "scanvane-bench";

// printf format: the passes, the largest repeat, the most threads, the span
// fills, the default size, the size limits, the sweep's start frames, the
// walk's length.
static const char usage[] =
    "usage: scanvane-bench [--json] [--repeat N] [--frames-csv FILE]\n"
    "                      [--compare-llvmpipe] [--threads N] [--fill PATH]\n"
    "                      [--size WIDTHxHEIGHT] | --help | --version\n"
    "       scanvane-bench --sweep [--json] [--svg FILE] [--sweep-sizes LIST]\n"
    "                      [--sweep-frames N] [--threads N] [--fill PATH]\n"
    "Times the real frame cycle's drawing work (begin frame to last triangle)\n"
    "for the views start, window, wall, above and walk: 60 warm-up frames, then\n"
    "min / p25 / median of 600 frames, with the work each view does and its\n"
    "ratio to the clear's floors measured in the same run (both buffers written\n"
    "with 16-byte streaming stores, and with memset).\n"
    "Then the start view in three modes, in %d interleaved passes: one thread as\n"
    "shipped (streaming clear), one thread with an ordinary clear, and all cores\n"
    "(the frame's rows in bands on every thread, ordinary clear); and, where the\n"
    "build has OSMesa, Mesa's llvmpipe drawing the same view.\n"
    "The first line is the headline: the start view's median time per frame and\n"
    "frames per second on one thread and on all cores, llvmpipe's beside them,\n"
    "the processor, the span fill and the version.\n"
    "  --json              one JSON object instead of the table (docs/bench-json.md)\n"
    "  --repeat N          measure everything N times (1 to %d, default 1) and\n"
    "                      report each figure's spread: the min, median and max\n"
    "                      of the rounds' medians\n"
    "  --frames-csv FILE   write every frame's time of the walk to FILE as CSV\n"
    "                      (round,frame,ns), whole or not at all\n"
    "  --compare-llvmpipe  also print how many times slower llvmpipe is than each\n"
    "                      mode, and say why when it cannot be drawn\n"
    "  --threads N         time the views with the frame drawn in bands on N\n"
    "                      threads (1, the default: the one-thread frame cycle;\n"
    "                      up to %d; 0: all hardware threads); N above 1 is\n"
    "                      also the all-cores mode's thread count\n"
    "  --fill PATH         force the span fill: %s; default: the widest\n"
    "                      this processor runs. SCANVANE_FILL=PATH in the\n"
    "                      environment does the same where --fill is not given\n"
    "  --size WIDTHxHEIGHT frame size in pixels (default %dx%d), from %dx%d\n"
    "                      to %dx%d\n"
    "  --version           print the program's name and version\n"
    "  --sweep             instead: how the cost grows. The start view (up to %d\n"
    "                      frames) and the walk at every size of the list, one\n"
    "                      thread as shipped and in bands on 1 to all cores (or\n"
    "                      --threads N), llvmpipe at each size on one thread and\n"
    "                      on all cores; medians, a cost model fitted over the\n"
    "                      sizes (fixed + per pixel tested) and the efficiency\n"
    "  --sweep-sizes LIST  sizes to sweep, comma-separated (default\n"
    "                      320x240,640x480,1280x720,1920x1080,2560x1440,3840x2160)\n"
    "  --sweep-frames N    the walk's first N frames (1 to %d, default all)\n"
    "  --svg FILE          with --sweep: write a chart of the sweep as SVG,\n"
    "                      whole or not at all\n"
    "Every option takes its value as --opt VALUE or --opt=VALUE.\n"
    "Exit status 0 on success, 2 on bad arguments or an unwritable --frames-csv\n"
    "or --svg (the results are still printed when only that file fails), 1 if\n"
    "scanvane-bench-counts, which must sit beside this program, is missing, fails\n"
    "or draws other frames.\n";

struct BenchOptions {
    bool help = false, version = false, json = false, llvmpipe = false;
    DrawingChoice drawing = DrawAsShipped; // --threads
    int repeat = 1;
    std::string fill;      // empty: SCANVANE_FILL or the widest
    std::string framesCsv; // empty: none written
    FrameSize size{DefaultFrameWidth, DefaultFrameHeight};
    bool sweep = false;
    std::vector<FrameSize> sweepSizes = DefaultSweepSizes;
    int sweepFrames = BenchMeasuredFrames;
    std::string svg; // empty: none written
};

// NAME's value: a whole number from 1 to most (at most three digits).
static bool ParseCount(const char *name, const std::string &text, int most, int &value,
                       std::string &error) {
    int n = 0;
    bool digits = !text.empty() && text.size() <= 3;
    for (char c : text) digits = digits && c >= '0' && c <= '9', n = n * 10 + (c - '0');
    if (!digits || n < 1 || n > most)
        return error = std::string(name) + " wants a whole number from 1 to " + std::to_string(most) +
                       ", got " + Quote(text),
               false;
    value = n;
    return true;
}

static bool ParseBenchOptions(int argc, char **argv, BenchOptions &o, std::string &error) {
    std::vector<ToolOption> table = CommonToolOptions();
    table.push_back({"--json", false});
    table.push_back({"--compare-llvmpipe", false});
    table.push_back({"--threads", true});
    table.push_back({"--repeat", true});
    table.push_back({"--frames-csv", true});
    table.push_back({"--sweep", false});
    table.push_back({"--sweep-sizes", true});
    table.push_back({"--sweep-frames", true});
    table.push_back({"--svg", true});
    if (!ParseToolOptions(argc, argv, table, error)) return false;
    o.sweep = FindOption(table, "--sweep").given;
    o.svg = FindOption(table, "--svg").value;
    for (const char *name : {"--sweep-sizes", "--sweep-frames", "--svg"})
        if (FindOption(table, name).given && !o.sweep)
            return error = std::string(name) + " goes with --sweep", false;
    for (const char *name : {"--repeat", "--frames-csv", "--size", "--compare-llvmpipe"})
        if (FindOption(table, name).given && o.sweep)
            return error = std::string(name) + " does not go with --sweep", false;
    const ToolOption &sizes = FindOption(table, "--sweep-sizes"),
                     &frames = FindOption(table, "--sweep-frames");
    if (sizes.given && !ParseSweepSizes(sizes.value, o.sweepSizes, error)) return false;
    if (frames.given &&
        !ParseCount("--sweep-frames", frames.value, BenchMeasuredFrames, o.sweepFrames, error))
        return false;
    o.help = FindOption(table, "--help").given;
    o.version = FindOption(table, "--version").given;
    o.json = FindOption(table, "--json").given;
    o.llvmpipe = FindOption(table, "--compare-llvmpipe").given;
    o.fill = FindOption(table, "--fill").value;
    o.framesCsv = FindOption(table, "--frames-csv").value;
    const ToolOption &threads = FindOption(table, "--threads"),
                     &repeat = FindOption(table, "--repeat");
    int threadCount = 1;
    if (threads.given && !ParseThreadCount(threads.value, threadCount, error)) return false;
    o.drawing = DrawingForThreadOption(threadCount);
    if (!ToolFrameSize(FindOption(table, "--size").value, o.size, error)) return false;
    return !repeat.given || ParseCount("--repeat", repeat.value, MaxBenchRepeat, o.repeat, error);
}

// The sweep's progress on standard error: on a terminal one line rewritten
// as each mode starts, elsewhere (a log) a line for each size and view.
static std::chrono::steady_clock::time_point sweepStart;
static bool progressOnTerminal = false;

static void ShowProgress(const SweepProgress &p) {
    static std::string lastStage;
    const long seconds = (long)std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - sweepStart)
                             .count();
    char stage[128];
    std::snprintf(stage, sizeof stage, "%dx%d (size %d of %d), %s", (int)p.size.width,
                  (int)p.size.height, p.sizeIndex + 1, p.sizeCount,
                  *p.mode ? (std::string(p.what) + " view").c_str() : "counting pass");
    if (progressOnTerminal)
        std::fprintf(stderr, "\r\033[K%s: sweep %s%s%s, %ld s", program, stage, *p.mode ? ", " : "",
                     p.mode, seconds);
    else if (stage != lastStage)
        std::fprintf(stderr, "%s: sweep %s, %ld s\n", program, stage, seconds);
    lastStage = stage;
}

static void EndProgress() {
    if (progressOnTerminal) std::fprintf(stderr, "\r\033[K");
}

// Results are printed first: a side file that fails after a long run must
// not take the printed figures with it. Then the file, whole or not at all.
static int FinishOutputs(const std::string &text, const std::vector<OutputFile> &files) {
    std::fputs(text.c_str(), stdout);
    if (!StandardOutputWritten()) return ToolFail(program, "cannot write standard output");
    StagedFiles staged;
    std::string error;
    if (!files.empty() && (!StageFiles(files, staged, error) || !CommitFiles(staged, error)))
        return ToolFail(program, error);
    return 0;
}

static int RunSweepCommand(const BenchOptions &options, const std::string &countsProgram) {
    SweepOptions sweep;
    sweep.sizes = options.sweepSizes;
    sweep.frames = options.sweepFrames;
    sweep.maxThreads = AllCoresThreads(options.drawing);
    sweep.countsProgram = countsProgram;
    sweep.progress = ShowProgress;
    sweepStart = std::chrono::steady_clock::now();
    progressOnTerminal = isatty(2);
    SweepResult result;
    std::string error;
    const bool swept = RunSweep(sweep, result, error);
    EndProgress();
    if (!swept) return ToolFail(program, error), 1;
    const BenchSetting setting = {DescribeMachine(), FillPathName(ActiveFillPath()),
                                  DrawingThreads(options.drawing), false};
    std::vector<OutputFile> files;
    if (!options.svg.empty())
        files.push_back({options.svg, SweepSvg(result, SweepHeadline(result, setting))});
    std::string text;
    if (options.json) {
        text = SweepJson(setting, result);
        const std::string warning = SweepLoadWarning(result);
        if (!warning.empty()) std::fprintf(stderr, "%s: %s\n", program, warning.c_str());
    } else {
        PrintSweepTable(setting, result);
    }
    const int status = FinishOutputs(text, files);
    if (status) return status;
    if (!SweepFramesAgree(result)) {
        std::fprintf(stderr, "%s: the modes or the counting build drew different frames%s%s\n",
                     program, result.countsError.empty() ? "" : ": ",
                     result.countsError.c_str());
        return 1;
    }
    return 0;
}

static int RunAtOneSize(const BenchOptions &options, const std::string &countsProgram) {
    RunOptions run;
    run.views = options.drawing;
    run.repeat = options.repeat;
    run.llvmpipe = options.llvmpipe;
    run.countsProgram = countsProgram;
    BenchRun result;
    std::string error;
    if (!MeasureRounds(run, result, error)) return ToolFail(program, error), 1;
    if (options.llvmpipe && !result.haveLp)
        std::fprintf(stderr, "%s: llvmpipe: %s\n", program, result.lpError.c_str());
    CheckCounts(run, result);
    if (!result.counted)
        std::fprintf(stderr, "%s: counts unavailable: %s\n", program, result.countsError.c_str());
    if (!result.hashesAgree)
        std::fprintf(stderr, "%s: the counting build drew different frames!\n", program);
    const BenchSetting setting = {DescribeMachine(), FillPathName(ActiveFillPath()),
                                  DrawingThreads(options.drawing), options.llvmpipe};
    std::vector<OutputFile> files;
    if (!options.framesCsv.empty()) files.push_back({options.framesCsv, FramesCsv(result)});
    std::string text;
    if (options.json) {
        text = RunJson(setting, result);
        const std::string warning = LoadWarning(result.othersShare);
        if (!warning.empty()) std::fprintf(stderr, "%s: %s\n", program, warning.c_str());
    } else {
        PrintRunTable(setting, result);
    }
    const int status = FinishOutputs(text, files);
    if (status) return status;
    return result.counted && result.hashesAgree ? 0 : 1;
}

static int Run(int argc, char **argv);

int main(int argc, char **argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc &) {
        // The screen constants hold the size from InitGraphics's first step.
        return ToolFail(program, "not enough memory for a " + std::to_string(Screen.width) + "x" +
                                     std::to_string(Screen.height) + " frame");
    }
}

static int Run(int argc, char **argv) {
    BenchOptions options;
    std::string error;
    if (!ParseBenchOptions(argc, argv, options, error)) return ToolFail(program, error);
    if (options.help || options.version) {
        if (options.help)
            std::printf(usage, BenchModePasses, MaxBenchRepeat, (int)MaxBandThreads,
                        FillPathChoices().c_str(), (int)DefaultFrameWidth,
                        (int)DefaultFrameHeight, (int)MinFrameWidth, (int)MinFrameHeight,
                        (int)MaxFrameWidth, (int)MaxFrameHeight, SweepStartFrames,
                        BenchMeasuredFrames);
        else
            std::printf("%s\n", VersionLine(program).c_str());
        return StandardOutputWritten() ? 0 : ToolFail(program, "cannot write standard output");
    }
    if (!ChooseToolFill(options.fill, error)) return ToolFail(program, error);
    // Refused now rather than after a minute of measuring.
    if (!options.framesCsv.empty() && !CheckOutputPath(options.framesCsv, error))
        return ToolFail(program, error);
    if (!options.svg.empty() && !CheckOutputPath(options.svg, error))
        return ToolFail(program, error);
    const std::string countsProgram = CountsProgramPath(argv[0]);
    if (!CountsProgramPresent(countsProgram, error)) return ToolFail(program, error), 1;
    StartBenchGraphics(options.sweep ? options.sweepSizes[0] : options.size);
    // Stopped and joined on every way out (also registered at exit).
    struct ThreadsStop {
        ~ThreadsStop() { StopDrawing(); }
    } threadsStop;
    return options.sweep ? RunSweepCommand(options, countsProgram)
                         : RunAtOneSize(options, countsProgram);
}
