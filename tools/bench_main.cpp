// scanvane-bench: what one frame's drawing work costs on this machine, per
// named view, next to the cost of merely writing the two buffers.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>
#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <unistd.h>
#endif

#include "app/frame_bands.h"
#include "app/frame_cycle.h"
#include "app/quote.h"
#include "app/size_choice.h"
#include "app/version.h"
#include "render/bands.h"
#include "render/fill_path.h"
#include "render/frame_size.h"
#include "render/frustum.h"
#include "tools/bench_floors.h"
#include "tools/bench_llvmpipe.h"
#include "tools/bench_machine.h"
#include "tools/bench_sweep.h"
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
    "Exit status 0 on success, 2 on bad arguments or an unwritable --frames-csv,\n"
    "1 if the counting pass fails.\n";

// A timed figure over every round: min of the rounds' mins, and the median
// of their p25s and of their medians; the spread is that of the medians.
struct Spread {
    double min, median, max;
};
struct Figure {
    Timing t;
    Spread spread;
};

struct ViewResult {
    Figure ns;
    double medianTicks = 0; // the median of the rounds' medians, in counter ticks
    int frames = 0;         // frames the counts were summed over
    uint64_t tested = 0, written = 0, spans = 0, drawn = 0, rejected = 0, clipped = 0, split = 0;
    uint64_t hash = 0, countedHash = 0;
    bool counted = false;
};

// The counting pass lives next to this program.
static std::string CountsProgram(const char *argv0) {
    std::string self = argv0;
#ifdef __linux__
    char link[4096];
    ssize_t n = readlink("/proc/self/exe", link, sizeof link - 1);
    if (n > 0) self.assign(link, (size_t)n);
#endif
    size_t slash = self.find_last_of("/\\");
    std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
    return dir + "/scanvane-bench-counts";
}

// Runs the counting pass and fills in the counts; false with a message when
// it is missing or says something unexpected.
static bool ReadCounts(const std::string &program, ViewResult *results, std::string &error) {
    // The counting pass draws the same size, or its frames could not agree.
    std::string command = "\"" + program + "\" --size " + std::to_string(Screen.width) + "x" +
                          std::to_string(Screen.height);
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return error = "cannot run " + program, false;
    char line[512];
    int seen = 0;
    while (std::fgets(line, sizeof line, pipe)) {
        char name[64];
        ViewResult r;
        if (std::sscanf(line,
                        "%63s %d %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64
                        " %" SCNu64 " %" SCNu64 " %" SCNx64,
                        name, &r.frames, &r.tested, &r.written, &r.spans, &r.drawn, &r.rejected,
                        &r.clipped, &r.split, &r.countedHash) != 10 ||
            r.frames <= 0)
            continue;
        for (int v = 0; v < BenchViewCount; v++) {
            if (std::strcmp(name, BenchViews[v].name) != 0) continue;
            r.ns = results[v].ns, r.medianTicks = results[v].medianTicks, r.hash = results[v].hash;
            r.counted = true;
            results[v] = r;
            seen++;
        }
    }
    int status = pclose(pipe);
    if (status != 0 || seen != BenchViewCount)
        return error = program + " failed or printed " + std::to_string(seen) + " of " +
                       std::to_string(BenchViewCount) + " views",
               false;
    return true;
}

static std::string JsonString(const std::string &s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if ((unsigned char)c < 0x20) out += ' ';
        else out += c;
    }
    return out + "\"";
}

// The start view timed in several modes, pass by pass within each round.
constexpr int BenchModePasses = 3, BenchModeCount = 3;
constexpr int MaxBenchRepeat = 100;
struct BenchMode {
    const char *name, *label;
    int threads; // 0: RenderFrame as shipped; else the band frame on this many threads
};

// Warm-up frames, then the measured ones of the start view, appended in ns.
static void TimeStartView(std::vector<double> &ns, int64_t frequency) {
    const BenchView &view = BenchViews[0];
    ResetView(view);
    for (int i = 0; i < BenchWarmFrames; i++) DrawViewFrame(view, i);
    for (int i = 0; i < BenchMeasuredFrames; i++)
        ns.push_back((double)DrawViewFrame(view, i) * 1e9 / (double)frequency);
}

// Counts per frame: exact for a still view, the mean for the walk.
static double PerFrame(uint64_t total, int frames) { return (double)total / (double)frames; }

static double MedianOf(std::vector<double> v) { return Summarise(std::move(v)).median; }

static Figure Combine(const std::vector<Timing> &rounds) {
    std::vector<double> mins, p25s, medians;
    for (const Timing &t : rounds)
        mins.push_back(t.min), p25s.push_back(t.p25), medians.push_back(t.median);
    Timing spread = Summarise(medians);
    double max = medians[0];
    for (double m : medians) max = m > max ? m : max;
    return {{Summarise(mins).min, MedianOf(p25s), spread.median}, {spread.min, spread.median, max}};
}

struct BenchOptions {
    bool help = false, version = false, json = false, llvmpipe = false;
    int threads = 1, repeat = 1;
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
    if (threads.given && !ParseThreadCount(threads.value, o.threads, error)) return false;
    if (o.threads == 0) o.threads = ProcessorThreads();
    if (!ToolFrameSize(FindOption(table, "--size").value, o.size, error)) return false;
    return !repeat.given || ParseCount("--repeat", repeat.value, MaxBenchRepeat, o.repeat, error);
}

// Everything one run measures, for either form of output.
struct BenchRun {
    int64_t frequency = 0;
    int rounds = 1;
    Figure streamFloor{}, memsetFloor{}, clear{}; // ns
    ViewResult results[BenchViewCount];
    std::vector<std::vector<double>> walkNs; // every walk frame, round by round
    bool counted = false, hashesAgree = true;
    int allCores = 2;
    BenchMode modes[BenchModeCount]{};
    Figure modeTimes[BenchModeCount]{}; // ns
    bool haveAllCores = true;           // false where this build has no threads
    std::string allCoresError;
    bool haveLp = false;
    Figure lp{}, lpAll{}; // ns, one thread and all cores
    std::string lpRenderer, lpError;
};

// Each round's timings, combined into figures once every round is in.
struct RoundTimings {
    std::vector<Timing> streamFloor, memsetFloor, clear, views[BenchViewCount],
        viewTicks[BenchViewCount], modes[BenchModeCount], lp[2];
};

// The floors, then every view timed.
static void MeasureViews(BenchRun &run, RoundTimings &rounds) {
    rounds.streamFloor.push_back(TimeStreamFloor(BenchMeasuredFrames));
    rounds.memsetFloor.push_back(TimeMemsetFloor(BenchMeasuredFrames));
    rounds.clear.push_back(TimeClearRenderTarget(BenchMeasuredFrames));
    for (int v = 0; v < BenchViewCount; v++) {
        const BenchView &view = BenchViews[v];
        ResetView(view);
        for (int i = 0; i < BenchWarmFrames; i++) DrawViewFrame(view, i);
        ResetView(view);
        std::vector<double> ticks, ns;
        for (int i = 0; i < BenchMeasuredFrames; i++) {
            uint32_t t = DrawViewFrame(view, i);
            ticks.push_back((double)t);
            ns.push_back((double)t * 1e9 / (double)run.frequency);
        }
        if (view.walk) run.walkNs.push_back(ns);
        rounds.views[v].push_back(Summarise(ns));
        rounds.viewTicks[v].push_back(Summarise(ticks));
    }
}

// Untimed: the frames themselves, hashed to compare with the counting build.
static void CheckCounts(const char *argv0, BenchRun &run) {
    for (int v = 0; v < BenchViewCount; v++) run.results[v].hash = HashView(BenchViews[v]);
    std::string countsError;
    run.counted = ReadCounts(CountsProgram(argv0), run.results, countsError);
    if (!run.counted)
        std::fprintf(stderr, "%s: counts unavailable: %s\n", program, countsError.c_str());
    for (const ViewResult &r : run.results)
        if (r.counted && r.countedHash != r.hash) run.hashesAgree = false;
    if (!run.hashesAgree)
        std::fprintf(stderr, "%s: the counting build drew different frames!\n", program);
}

static bool ModeAvailable(const BenchRun &run, int m) {
    return run.modes[m].threads <= 1 || run.haveAllCores;
}

// The start view in each mode and llvmpipe's two, pass by pass, so a busy
// spell on this shared machine falls on all of them alike.
static bool MeasureModes(int viewThreads, BenchRun &run, RoundTimings &rounds, std::string &error) {
    std::vector<double> modeSamples[BenchModeCount], lpSamples[2];
    for (int pass = 0; pass < BenchModePasses; pass++) {
        for (int m = 0; m < BenchModeCount; m++) {
            if (!ModeAvailable(run, m)) continue;
            if (!UseBenchThreads(run.modes[m].threads, error)) return false;
            TimeStartView(modeSamples[m], run.frequency);
        }
        UseBenchThreads(0, error); // no helper threads across the fork
        for (int t = 0; t < 2 && run.haveLp; t++) {
            Timing unused;
            run.haveLp =
                TimeLlvmpipe(BenchViews[0].camera, BenchMeasuredFrames, t ? run.allCores : 1,
                             unused, run.lpRenderer, run.lpError, &lpSamples[t]);
        }
    }
    if (!UseBenchThreads(viewThreads, error)) return false;
    for (int m = 0; m < BenchModeCount; m++)
        if (ModeAvailable(run, m)) rounds.modes[m].push_back(Summarise(modeSamples[m]));
    if (run.haveLp)
        for (int t = 0; t < 2; t++) rounds.lp[t].push_back(Summarise(lpSamples[t]));
    return true;
}

// Every round of views and modes, then the figures over them.
static bool MeasureRounds(const BenchOptions &o, int viewThreads, BenchRun &run,
                          std::string &error) {
    run.frequency = BenchCounterFrequency();
    run.rounds = o.repeat;
    const int cores = ProcessorThreads();
    run.allCores = o.threads > 1 ? o.threads : cores > 1 ? cores : 2;
    const BenchMode modes[BenchModeCount] = {
        {"one_thread_streaming_clear", "one thread, streaming clear (as shipped)", 0},
        {"one_thread_ordinary_clear", "one thread, ordinary clear", 1},
        {"all_cores", "all cores, ordinary clear", run.allCores}};
    for (int m = 0; m < BenchModeCount; m++) run.modes[m] = modes[m];
    // A build without threads still has the one-thread figures to report.
    if (!UseBenchThreads(run.allCores, run.allCoresError)) run.haveAllCores = false;
    if (!UseBenchThreads(viewThreads, error)) return false;
    run.haveLp = LlvmpipeBuiltIn || o.llvmpipe;
    if (!LlvmpipeBuiltIn) run.lpError = "this build has no OSMesa";
    RoundTimings rounds;
    for (int r = 0; r < run.rounds; r++) {
        MeasureViews(run, rounds);
        if (!MeasureModes(viewThreads, run, rounds, error)) return false;
    }
    if (o.llvmpipe && !run.haveLp)
        std::fprintf(stderr, "%s: llvmpipe: %s\n", program, run.lpError.c_str());
    run.streamFloor = Combine(rounds.streamFloor);
    run.memsetFloor = Combine(rounds.memsetFloor);
    run.clear = Combine(rounds.clear);
    for (int v = 0; v < BenchViewCount; v++) {
        run.results[v].ns = Combine(rounds.views[v]);
        run.results[v].medianTicks = Combine(rounds.viewTicks[v]).t.median;
    }
    for (int m = 0; m < BenchModeCount; m++)
        if (ModeAvailable(run, m)) run.modeTimes[m] = Combine(rounds.modes[m]);
    // A later round's failure leaves llvmpipe out altogether, not half in.
    if (run.haveLp) run.lp = Combine(rounds.lp[0]), run.lpAll = Combine(rounds.lp[1]);
    return true;
}

// The walk's frame times, one row per frame of every round.
static std::string FramesCsv(const BenchRun &run) {
    std::string csv = "round,frame,ns\n";
    char row[64];
    for (size_t r = 0; r < run.walkNs.size(); r++)
        for (size_t f = 0; f < run.walkNs[r].size(); f++) {
            std::snprintf(row, sizeof row, "%zu,%zu,%.0f\n", r + 1, f + 1, run.walkNs[r][f]);
            csv += row;
        }
    return csv;
}

struct BenchSetting {
    BenchMachine machine;
    const char *fill;
    int threads;
    bool compareLlvmpipe;
};

static double Fps(double ns) { return 1e9 / ns; }

// The one line to share: the start view's median frame as specified and on
// all cores, llvmpipe's beside it, and what it ran on.
static std::string Headline(const BenchSetting &s, const BenchRun &run) {
    char text[512];
    const double one = run.modeTimes[0].t.median, all = run.modeTimes[2].t.median;
    std::string lp = "llvmpipe: not in this build";
    if (run.haveLp) {
        char part[160];
        std::snprintf(part, sizeof part,
                      "llvmpipe %.1f us = %.0f fps on one thread, %.1f us = %.0f fps on %d",
                      run.lp.t.median / 1e3, Fps(run.lp.t.median), run.lpAll.t.median / 1e3,
                      Fps(run.lpAll.t.median), run.allCores);
        lp = part;
    } else if (LlvmpipeBuiltIn) {
        lp = "llvmpipe: failed";
    }
    char cores[80] = "all cores: not in this build";
    if (run.haveAllCores)
        std::snprintf(cores, sizeof cores, "%.1f us = %.0f fps on %d cores", all / 1e3, Fps(all),
                      run.allCores);
    std::snprintf(text, sizeof text,
                  "scanvane-bench %s: start view %.1f us/frame = %.0f fps on one thread, %s; %s; "
                  "%s; fill %s%s",
                  SCANVANE_VERSION, one / 1e3, Fps(one), cores, lp.c_str(),
                  s.machine.processor.c_str(), s.fill,
                  run.rounds > 1 ? (", median of " + std::to_string(run.rounds) + " rounds").c_str()
                                 : "");
    return text;
}

// JSON helpers: a figure's fields, each named with its unit.
static void PrintFigure(const Figure &f) {
    std::printf("\"min_ns\":%.0f,\"p25_ns\":%.0f,\"median_ns\":%.0f,\"median_fps\":%.1f,"
                "\"spread\":{\"min_ns\":%.0f,\"median_ns\":%.0f,\"max_ns\":%.0f}",
                f.t.min, f.t.p25, f.t.median, Fps(f.t.median), f.spread.min, f.spread.median,
                f.spread.max);
}

static void PrintRatio(const char *name, bool have, double ratio) {
    if (have)
        std::printf(",\"%s\":%.3f", name, ratio);
    else
        std::printf(",\"%s\":null", name);
}

static void PrintJson(const BenchSetting &s, const BenchRun &run) {
    std::printf("{\"schema_version\":1,\"program\":\"scanvane-bench\",\"version\":\"%s\","
                "\"headline\":%s,\"compiler\":%s,\"os\":%s,\"processor\":%s,"
                "\"cpu_family\":%s,\"cpu_model\":%s,\"date\":\"%s\",\"fill\":\"%s\","
                "\"threads\":%d,\"all_cores_threads\":%d,\"width_px\":%d,\"height_px\":%d,"
                "\"rounds\":%d,\"passes\":%d,\"warmup_frames\":%d,\"measured_frames\":%d,"
                "\"counter_frequency_hz\":%" PRId64 ",\"views\":[",
                SCANVANE_VERSION, JsonString(Headline(s, run)).c_str(),
                JsonString(s.machine.compiler).c_str(), JsonString(s.machine.os).c_str(),
                JsonString(s.machine.processor).c_str(), JsonString(s.machine.family).c_str(),
                JsonString(s.machine.model).c_str(), s.machine.date.c_str(), s.fill, s.threads,
                run.allCores, (int)Screen.width, (int)Screen.height, run.rounds, BenchModePasses,
                BenchWarmFrames, BenchMeasuredFrames, run.frequency);
    for (int v = 0; v < BenchViewCount; v++) {
        const ViewResult &r = run.results[v];
        std::printf("%s{\"name\":\"%s\",", v ? "," : "", BenchViews[v].name);
        PrintFigure(r.ns);
        std::printf(",\"median_ticks\":%.0f,\"median_vs_clear_floor\":%.3f,"
                    "\"median_vs_memset\":%.3f,\"frame_hash\":\"%016" PRIx64 "\",\"work\":",
                    r.medianTicks, r.ns.t.median / run.streamFloor.t.median,
                    r.ns.t.median / run.memsetFloor.t.median, r.hash);
        if (r.counted)
            std::printf("{\"frames\":%d,\"pixels_tested\":%.1f,\"pixels_written\":%.1f,"
                        "\"spans\":%.1f,\"triangles_drawn\":%.1f,\"triangles_rejected\":%.1f,"
                        "\"triangles_clipped\":%.1f,\"triangles_split\":%.1f}}",
                        r.frames, PerFrame(r.tested, r.frames), PerFrame(r.written, r.frames),
                        PerFrame(r.spans, r.frames), PerFrame(r.drawn, r.frames),
                        PerFrame(r.rejected, r.frames), PerFrame(r.clipped, r.frames),
                        PerFrame(r.split, r.frames));
        else
            std::printf("null}");
    }
    std::printf("],\"floors\":{\"streaming_stores\":{");
    PrintFigure(run.streamFloor);
    std::printf("},\"memset\":{");
    PrintFigure(run.memsetFloor);
    std::printf("},\"clear_render_target\":{");
    PrintFigure(run.clear);
    std::printf("},\"clear_vs_streaming_floor\":%.3f},\"counting_build_agrees\":%s",
                run.clear.t.median / run.streamFloor.t.median,
                run.counted && run.hashesAgree ? "true" : "false");
    std::printf(",\"start_modes\":{");
    for (int m = 0; m < BenchModeCount; m++) {
        const Figure &f = run.modeTimes[m];
        if (!ModeAvailable(run, m)) {
            std::printf("%s\"%s\":null", m ? "," : "", run.modes[m].name);
            continue;
        }
        std::printf("%s\"%s\":{\"threads\":%d,", m ? "," : "", run.modes[m].name,
                    run.modes[m].threads ? run.modes[m].threads : 1);
        PrintFigure(f);
        PrintRatio("llvmpipe_one_thread_min_vs_min", run.haveLp, run.lp.t.min / f.t.min);
        PrintRatio("llvmpipe_one_thread_p25_vs_p25", run.haveLp, run.lp.t.p25 / f.t.p25);
        PrintRatio("llvmpipe_all_cores_min_vs_min", run.haveLp, run.lpAll.t.min / f.t.min);
        PrintRatio("llvmpipe_all_cores_p25_vs_p25", run.haveLp, run.lpAll.t.p25 / f.t.p25);
        std::printf("}");
    }
    std::printf("},\"llvmpipe\":");
    if (run.haveLp) {
        std::printf("{\"renderer\":%s,\"one_thread\":{\"threads\":1,",
                    JsonString(run.lpRenderer).c_str());
        PrintFigure(run.lp);
        std::printf("},\"all_cores\":{\"threads\":%d,", run.allCores);
        PrintFigure(run.lpAll);
        std::printf("}}");
    } else {
        std::printf("null");
    }
    std::printf("}\n");
}

// A figure's columns in the table: min, p25, median, and with several rounds
// the spread of the rounds' medians.
static void PrintFigureColumns(const Figure &f, int rounds) {
    std::printf(" %9.0f %9.0f %9.0f", f.t.min, f.t.p25, f.t.median);
    if (rounds > 1) std::printf("  %9.0f %9.0f %9.0f", f.spread.min, f.spread.median, f.spread.max);
}

static void PrintFigureHeadings(int rounds) {
    std::printf(" %9s %9s %9s", "min ns", "p25 ns", "median ns");
    if (rounds > 1) std::printf("  %9s %9s %9s", "rnd min", "rnd med", "rnd max");
}

static void PrintTable(const BenchSetting &s, const BenchRun &run) {
    // Ticks are worth a column only where they are not nanoseconds already.
    const bool ticksDiffer = run.frequency != 1000000000;
    std::printf("%s\n\n", Headline(s, run).c_str());
    std::printf("cpu: %s (family %s, model %s)  %s  %s\n", s.machine.processor.c_str(),
                s.machine.family.c_str(), s.machine.model.c_str(), s.machine.os.c_str(),
                s.machine.compiler.c_str());
    std::printf("counter: %" PRId64 " ticks/s%s  size: %dx%d  span fill: %s  threads: %d%s  %s\n",
                run.frequency, ticksDiffer ? "" : " (ticks are ns)", (int)Screen.width,
                (int)Screen.height, s.fill, s.threads,
                s.threads > 1 ? " (rows in bands, ordinary clear)" : " (as shipped)",
                s.machine.date.c_str());
    std::printf("drawing work per frame (begin frame to last triangle), %d frames after %d "
                "warm-up",
                BenchMeasuredFrames, BenchWarmFrames);
    if (run.rounds > 1)
        std::printf(", %d rounds; rnd: the min, median and max of the rounds' medians", run.rounds);
    std::printf("\n\n%-7s", "view");
    PrintFigureHeadings(run.rounds);
    if (ticksDiffer) std::printf(" %12s", "median ticks");
    std::printf(" %8s %8s\n", "x floor", "x memset");
    for (int v = 0; v < BenchViewCount; v++) {
        const ViewResult &r = run.results[v];
        std::printf("%-7s", BenchViews[v].name);
        PrintFigureColumns(r.ns, run.rounds);
        if (ticksDiffer) std::printf(" %12.0f", r.medianTicks);
        std::printf(" %8.2f %8.2f\n", r.ns.t.median / run.streamFloor.t.median,
                    r.ns.t.median / run.memsetFloor.t.median);
    }
    std::printf("\nfloors, both %zu-byte buffers\n%-26s", (size_t)Screen.width * Screen.height * 4,
                "");
    PrintFigureHeadings(run.rounds);
    const struct {
        const char *name;
        const Figure *figure;
    } floors[] = {{"16-byte streaming stores", &run.streamFloor},
                  {"memset", &run.memsetFloor},
                  {"ClearRenderTarget", &run.clear}};
    for (const auto &f : floors) {
        std::printf("\n  %-24s", f.name);
        PrintFigureColumns(*f.figure, run.rounds);
    }
    std::printf("\nClearRenderTarget: %.2fx the streaming floor\n",
                run.clear.t.median / run.streamFloor.t.median);
    if (run.counted) {
        std::printf("\nwork per frame (walk: mean over its %d frames)\n", BenchMeasuredFrames);
        std::printf("%-7s %9s %9s %7s %6s %8s %7s %6s\n", "view", "tested", "written", "spans",
                    "drawn", "rejected", "clipped", "split");
        for (int v = 0; v < BenchViewCount; v++) {
            const ViewResult &r = run.results[v];
            std::printf("%-7s %9.0f %9.0f %7.0f %6.1f %8.1f %7.1f %6.1f\n", BenchViews[v].name,
                        PerFrame(r.tested, r.frames), PerFrame(r.written, r.frames),
                        PerFrame(r.spans, r.frames), PerFrame(r.drawn, r.frames),
                        PerFrame(r.rejected, r.frames), PerFrame(r.clipped, r.frames),
                        PerFrame(r.split, r.frames));
        }
        std::printf("counting build draws the same frames: %s\n", run.hashesAgree ? "yes" : "NO");
    }
    std::printf("\nstart view by mode, %d interleaved passes of %d frames each per round\n%-42s",
                BenchModePasses, BenchMeasuredFrames, "mode");
    PrintFigureHeadings(run.rounds);
    std::printf("\n");
    for (int m = 0; m < BenchModeCount; m++) {
        char label[64];
        std::snprintf(
            label, sizeof label, "%s%s", run.modes[m].label,
            run.modes[m].threads > 1 ? (" x" + std::to_string(run.modes[m].threads)).c_str() : "");
        std::printf("%-42s", label);
        if (!ModeAvailable(run, m)) {
            std::printf(" not measured: %s\n", run.allCoresError.c_str());
            continue;
        }
        PrintFigureColumns(run.modeTimes[m], run.rounds);
        std::printf("\n");
    }
    if (!run.haveLp) return;
    const std::string lpAll = "llvmpipe, all cores x" + std::to_string(run.allCores);
    std::printf("%-42s", "llvmpipe, one thread");
    PrintFigureColumns(run.lp, run.rounds);
    std::printf("\n%-42s", lpAll.c_str());
    PrintFigureColumns(run.lpAll, run.rounds);
    std::printf("\n(%s)\n", run.lpRenderer.c_str());
    if (!s.compareLlvmpipe) return;
    std::printf("\nllvmpipe's time over each mode's (times slower)\n%-42s %9s %9s %9s %9s\n",
                "mode", "1t min", "1t p25", "all min", "all p25");
    for (int m = 0; m < BenchModeCount; m++) {
        const Timing &t = run.modeTimes[m].t;
        if (!ModeAvailable(run, m)) continue;
        std::printf("%-42s %8.2fx %8.2fx %8.2fx %8.2fx\n", run.modes[m].label, run.lp.t.min / t.min,
                    run.lp.t.p25 / t.p25, run.lpAll.t.min / t.min, run.lpAll.t.p25 / t.p25);
    }
}

static int Run(int argc, char **argv);

// The sweep's one line to share: the 1920 x 1080 start view (or the largest
// size swept) on all cores against llvmpipe's, and what it ran on.
static std::string SweepHeadline(const SweepResult &r, const BenchMachine &machine,
                                 const char *fill) {
    const SweepRow *row = r.rows.empty() ? nullptr : &r.rows.back();
    for (const SweepRow &each : r.rows)
        if (each.size.width == 1920 && each.size.height == 1080) row = &each;
    char text[512];
    if (!row) return "scanvane-bench sweep";
    const int all = SweepModeIndex(r, ("threads_" + std::to_string(r.allCores)).c_str()),
              lp1 = SweepModeIndex(r, "llvmpipe_one_thread");
    const SweepCell &mine = row->cells[0][all], &lp = row->cells[0][lp1];
    char lpText[96] = "llvmpipe: not measured";
    if (lp.have)
        std::snprintf(lpText, sizeof lpText, "llvmpipe on one thread %.1f us (%.1fx)",
                      lp.medianNs / 1e3, lp.medianNs / mine.medianNs);
    std::snprintf(text, sizeof text,
                  "scanvane-bench %s sweep: start view at %dx%d %.1f us/frame on %d threads, "
                  "%s; %s; fill %s",
                  SCANVANE_VERSION, (int)row->size.width, (int)row->size.height,
                  mine.medianNs / 1e3, r.allCores, lpText, machine.processor.c_str(), fill);
    return text;
}

static int RunSweepCommand(const char *argv0, const BenchOptions &options) {
    SweepOptions sweep;
    sweep.sizes = options.sweepSizes;
    sweep.frames = options.sweepFrames;
    const int cores = ProcessorThreads();
    sweep.maxThreads = options.threads > 1 ? options.threads : cores > 1 ? cores : 2;
    sweep.countsProgram = CountsProgram(argv0);
    SweepResult result;
    std::string error;
    if (!RunSweep(sweep, result, error)) return ToolFail(program, error), 1;
    const BenchMachine machine = DescribeMachine();
    const char *fill = FillPathName(ActiveFillPath());
    const std::string headline = SweepHeadline(result, machine, fill);
    StagedFiles staged;
    if (!options.svg.empty() &&
        !StageFiles({{options.svg, SweepSvg(result, headline)}}, staged, error))
        return ToolFail(program, error);
    if (options.json) {
        std::printf("{\"schema_version\":1,\"program\":\"scanvane-bench\",\"version\":\"%s\","
                    "\"headline\":%s,\"compiler\":%s,\"os\":%s,\"processor\":%s,"
                    "\"cpu_family\":%s,\"cpu_model\":%s,\"date\":\"%s\",\"fill\":\"%s\","
                    "\"counter_frequency_hz\":%" PRId64 ",\"sweep\":",
                    SCANVANE_VERSION, JsonString(headline).c_str(),
                    JsonString(machine.compiler).c_str(), JsonString(machine.os).c_str(),
                    JsonString(machine.processor).c_str(), JsonString(machine.family).c_str(),
                    JsonString(machine.model).c_str(), machine.date.c_str(), fill,
                    BenchCounterFrequency());
        PrintSweepJson(result);
        std::printf("}\n");
    } else {
        PrintSweepTable(result, headline);
    }
    if (!StandardOutputWritten()) return ToolFail(program, "cannot write standard output");
    if (!CommitFiles(staged, error)) return ToolFail(program, error);
    bool agree = true;
    for (const SweepRow &row : result.rows) agree = agree && row.counted && row.framesAgree;
    if (!agree) std::fprintf(stderr, "%s: the modes or the counting build drew different frames\n", program);
    return agree ? 0 : 1;
}

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
    StartBenchGraphics(options.sweep ? options.sweepSizes[0] : options.size);
    // Stopped and joined on every way out (also registered at exit).
    struct ThreadsStop {
        ~ThreadsStop() { StopBandThreads(); }
    } threadsStop;
    if (options.sweep) return RunSweepCommand(argv[0], options);
    const int viewThreads = options.threads > 1 ? options.threads : 0;
    BenchRun run;
    if (!UseBenchThreads(viewThreads, error)) return ToolFail(program, error), 1;
    if (!MeasureRounds(options, viewThreads, run, error)) return ToolFail(program, error), 1;
    CheckCounts(argv[0], run);

    StagedFiles staged;
    if (!options.framesCsv.empty() &&
        !StageFiles({{options.framesCsv, FramesCsv(run)}}, staged, error))
        return ToolFail(program, error);
    const BenchSetting setting = {DescribeMachine(), FillPathName(ActiveFillPath()),
                                  options.threads, options.llvmpipe};
    if (options.json)
        PrintJson(setting, run);
    else
        PrintTable(setting, run);
    if (!StandardOutputWritten()) return ToolFail(program, "cannot write standard output");
    if (!CommitFiles(staged, error)) return ToolFail(program, error);
    return run.counted && run.hashesAgree ? 0 : 1;
}
