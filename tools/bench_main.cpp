// scanvane-bench: what one frame's drawing work costs on this machine, per
// named view, next to the cost of merely writing the two buffers.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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
#include "render/bands.h"
#include "render/fill_path.h"
#include "tools/bench_floors.h"
#include "tools/bench_llvmpipe.h"
#include "tools/bench_views.h"
#include "tools/options.h"
#include "tools/render_options.h"

static const char program[] = "scanvane-bench";

// printf format: the rounds, then the span fills.
static const char usage[] =
    "usage: scanvane-bench [--json] [--compare-llvmpipe] [--threads N] [--fill PATH]\n"
    "                      | --help | --version\n"
    "Times the real frame cycle's drawing work (begin frame to last triangle)\n"
    "for the views start, window, wall, above and walk: 60 warm-up frames, then\n"
    "min / p25 / median of 600 frames in nanoseconds and counter ticks, with the\n"
    "work each view does and its ratio to the clear's floors measured in the same\n"
    "run (both buffers written with 16-byte streaming stores, and with memset).\n"
    "Then the start view in three modes, in %d interleaved rounds: one thread as\n"
    "shipped (streaming clear), one thread with an ordinary clear, and all cores\n"
    "(the frame's rows in bands on every thread, ordinary clear).\n"
    "  --json              one JSON object instead of the table\n"
    "  --compare-llvmpipe  also draw the start view with Mesa's llvmpipe (OSMesa)\n"
    "                      on one thread and on all cores, in the same rounds, and\n"
    "                      print how many times slower it is than each mode\n"
    "  --threads N         time the views with the frame drawn in bands on N\n"
    "                      threads (1, the default: the one-thread frame cycle);\n"
    "                      N above 1 is also the all-cores mode's thread count\n"
    "  --fill PATH         force the span fill: %s; default: the widest\n"
    "                      this processor runs. SCANVANE_FILL=PATH in the\n"
    "                      environment does the same where --fill is not given\n"
    "  --version           print the program's name and version\n"
    "Every option takes its value as --opt VALUE or --opt=VALUE.\n"
    "Exit status 0 on success, 2 on bad arguments, 1 if the counting pass fails.\n";

struct ViewResult {
    Timing ns, ticks;
    int frames = 0; // frames the counts were summed over
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
    std::string command = "\"" + program + "\"";
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
            r.ns = results[v].ns, r.ticks = results[v].ticks, r.hash = results[v].hash;
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

// A field of the first processor in /proc/cpuinfo, or "unknown".
static std::string CpuField(const char *name) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(" \t") + 1);
        if (key == name) return colon + 2 <= line.size() ? line.substr(colon + 2) : "";
    }
    return "unknown";
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

// The start view timed in several modes, round by round.
constexpr int BenchModeRounds = 3, BenchModeCount = 3;
struct BenchMode {
    const char *name, *label;
    int threads; // 0: RenderFrame as shipped; else the band frame on this many threads
};

// Draws the bench's frames as RenderFrame (threads 0) or in bands.
static bool UseBenchThreads(int threads, std::string &error) {
    StopBandThreads();
    BenchFrame = RenderFrame;
    if (threads == 0) return true;
    if (!StartBandThreads(threads, error)) return false;
    BenchFrame = RenderFrameInBands;
    return true;
}

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

struct BenchOptions {
    bool help = false, version = false, json = false, llvmpipe = false;
    int threads = 1;
    std::string fill; // empty: SCANVANE_FILL or the widest
};

static bool ParseBenchOptions(int argc, char **argv, BenchOptions &o, std::string &error) {
    std::vector<ToolOption> table = CommonToolOptions();
    table.push_back({"--json", false});
    table.push_back({"--compare-llvmpipe", false});
    table.push_back({"--threads", true});
    if (!ParseToolOptions(argc, argv, table, error)) return false;
    o.help = FindOption(table, "--help").given;
    o.version = FindOption(table, "--version").given;
    o.json = FindOption(table, "--json").given;
    o.llvmpipe = FindOption(table, "--compare-llvmpipe").given;
    o.fill = FindOption(table, "--fill").value;
    const ToolOption &threads = FindOption(table, "--threads");
    return !threads.given || ParseThreadCount(threads.value, o.threads, error);
}

// Everything one run measures, for either form of output.
struct BenchRun {
    int64_t frequency = 0;
    Timing streamFloor{}, memsetFloor{}, clear{}; // ns
    ViewResult results[BenchViewCount];
    bool counted = false, hashesAgree = true;
    int allCores = 2;
    BenchMode modes[BenchModeCount]{};
    Timing modeTimes[BenchModeCount]{}; // ns
    bool haveLp = false;
    Timing lp{}, lpAll{}; // ns, one thread and all cores
    std::string lpRenderer;
};

// The floors, then every view timed and hashed, then the counting pass.
static void MeasureViews(const char *argv0, BenchRun &run) {
    run.frequency = BenchCounterFrequency();
    run.streamFloor = TimeStreamFloor(BenchMeasuredFrames);
    run.memsetFloor = TimeMemsetFloor(BenchMeasuredFrames);
    run.clear = TimeClearRenderTarget(BenchMeasuredFrames);
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
        run.results[v].ns = Summarise(ns);
        run.results[v].ticks = Summarise(ticks);
    }
    // Untimed: the frames themselves, to compare with the counting build.
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

// The start view in each mode and llvmpipe's two, round by round, so a busy
// spell on this shared machine falls on all of them alike.
static bool MeasureModes(const BenchOptions &o, int viewThreads, BenchRun &run,
                         std::string &error) {
    const int cores = ProcessorThreads();
    run.allCores = o.threads > 1 ? o.threads : cores > 1 ? cores : 2;
    const BenchMode modes[BenchModeCount] = {
        {"one_thread_streaming_clear", "one thread, streaming clear (as shipped)", 0},
        {"one_thread_ordinary_clear", "one thread, ordinary clear", 1},
        {"all_cores", "all cores, ordinary clear", run.allCores}};
    std::vector<double> modeSamples[BenchModeCount], lpSamples[2];
    std::string lpError;
    run.haveLp = o.llvmpipe;
    for (int round = 0; round < BenchModeRounds; round++) {
        for (int m = 0; m < BenchModeCount; m++) {
            if (!UseBenchThreads(modes[m].threads, error)) return false;
            TimeStartView(modeSamples[m], run.frequency);
        }
        UseBenchThreads(0, error); // no helper threads across the fork
        for (int t = 0; t < 2 && run.haveLp; t++) {
            Timing unused;
            run.haveLp =
                TimeLlvmpipe(BenchViews[0].camera, BenchMeasuredFrames, t ? run.allCores : 1,
                             unused, run.lpRenderer, lpError, &lpSamples[t]);
        }
    }
    UseBenchThreads(viewThreads, error);
    if (o.llvmpipe && !run.haveLp)
        std::fprintf(stderr, "%s: llvmpipe: %s\n", program, lpError.c_str());
    for (int m = 0; m < BenchModeCount; m++) {
        run.modes[m] = modes[m];
        run.modeTimes[m] = Summarise(modeSamples[m]);
    }
    if (run.haveLp) run.lp = Summarise(lpSamples[0]), run.lpAll = Summarise(lpSamples[1]);
    return true;
}

struct MachineInfo {
    std::string cpu, family, model;
    const char *path; // the span fill
};

static void PrintJson(const BenchOptions &o, const MachineInfo &machine, const BenchRun &run) {
    std::printf("{\"cpu\":%s,\"cpu_family\":%s,\"cpu_model\":%s,\"path\":\"%s\","
                "\"threads\":%d,\"counter_frequency\":%" PRId64 ",\"views\":[",
                JsonString(machine.cpu).c_str(), JsonString(machine.family).c_str(),
                JsonString(machine.model).c_str(), machine.path, o.threads, run.frequency);
    for (int v = 0; v < BenchViewCount; v++) {
        const ViewResult &r = run.results[v];
        std::printf("%s{\"name\":\"%s\",\"median_ns\":%.0f,\"p25_ns\":%.0f,\"min_ns\":%.0f,"
                    "\"median_ticks\":%.0f,\"p25_ticks\":%.0f,\"min_ticks\":%.0f,"
                    "\"median_vs_clear_floor\":%.3f,\"median_vs_memset\":%.3f,"
                    "\"frame_hash\":\"%016" PRIx64 "\"",
                    v ? "," : "", BenchViews[v].name, r.ns.median, r.ns.p25, r.ns.min,
                    r.ticks.median, r.ticks.p25, r.ticks.min, r.ns.median / run.streamFloor.median,
                    r.ns.median / run.memsetFloor.median, r.hash);
        if (r.counted)
            std::printf(",\"counted_frames\":%d,\"pixels_tested\":%.1f,\"pixels_written\":%.1f,"
                        "\"spans\":%.1f,\"triangles_drawn\":%.1f,\"triangles_rejected\":%.1f,"
                        "\"triangles_clipped\":%.1f,\"triangles_split\":%.1f",
                        r.frames, PerFrame(r.tested, r.frames), PerFrame(r.written, r.frames),
                        PerFrame(r.spans, r.frames), PerFrame(r.drawn, r.frames),
                        PerFrame(r.rejected, r.frames), PerFrame(r.clipped, r.frames),
                        PerFrame(r.split, r.frames));
        std::printf("}");
    }
    std::printf("],\"clear_ns\":%.0f,\"clear_floor_ns\":%.0f,\"memset_ns\":%.0f,"
                "\"clear_vs_floor\":%.3f,\"counting_build_agrees\":%s",
                run.clear.median, run.streamFloor.median, run.memsetFloor.median,
                run.clear.median / run.streamFloor.median,
                run.counted && run.hashesAgree ? "true" : "false");
    if (run.haveLp)
        std::printf(
            ",\"llvmpipe_renderer\":%s,\"llvmpipe_median_ns\":%.0f,\"llvmpipe_min_ns\":%.0f,"
            "\"llvmpipe_vs_start\":%.2f,\"llvmpipe_min_vs_start_min\":%.2f",
            JsonString(run.lpRenderer).c_str(), run.lp.median, run.lp.min,
            run.lp.median / run.results[0].ns.median, run.lp.min / run.results[0].ns.min);
    std::printf(",\"start_modes\":{\"rounds\":%d", BenchModeRounds);
    for (int m = 0; m < BenchModeCount; m++) {
        const Timing &t = run.modeTimes[m];
        std::printf(",\"%s\":{\"threads\":%d,\"min_ns\":%.0f,\"p25_ns\":%.0f,\"median_ns\":%.0f",
                    run.modes[m].name, run.modes[m].threads ? run.modes[m].threads : 1, t.min,
                    t.p25, t.median);
        if (run.haveLp)
            std::printf(",\"llvmpipe_1_min_vs_min\":%.2f,\"llvmpipe_1_p25_vs_p25\":%.2f,"
                        "\"llvmpipe_all_min_vs_min\":%.2f,\"llvmpipe_all_p25_vs_p25\":%.2f",
                        run.lp.min / t.min, run.lp.p25 / t.p25, run.lpAll.min / t.min,
                        run.lpAll.p25 / t.p25);
        std::printf("}");
    }
    if (run.haveLp)
        std::printf(
            ",\"llvmpipe_1\":{\"threads\":1,\"min_ns\":%.0f,\"p25_ns\":%.0f,\"median_ns\":%.0f},"
            "\"llvmpipe_all\":{\"threads\":%d,\"min_ns\":%.0f,\"p25_ns\":%.0f,\"median_ns\":%.0f}",
            run.lp.min, run.lp.p25, run.lp.median, run.allCores, run.lpAll.min, run.lpAll.p25,
            run.lpAll.median);
    std::printf("}}\n");
}

static void PrintTable(const BenchOptions &o, const MachineInfo &machine, const BenchRun &run) {
    std::printf("scanvane-bench  cpu: %s (family %s, model %s)  counter: %" PRId64 " ticks/s\n",
                machine.cpu.c_str(), machine.family.c_str(), machine.model.c_str(), run.frequency);
    std::printf("span fill: %s  threads: %d%s\n", machine.path, o.threads,
                o.threads > 1 ? " (rows in bands, ordinary clear)" : " (as shipped)");
    std::printf("drawing work per frame (begin frame to last triangle), %d frames after %d "
                "warm-up\n\n",
                BenchMeasuredFrames, BenchWarmFrames);
    std::printf("%-7s %9s %9s %9s %12s %8s %8s\n", "view", "min ns", "p25 ns", "median ns",
                "median ticks", "x floor", "x memset");
    for (int v = 0; v < BenchViewCount; v++) {
        const ViewResult &r = run.results[v];
        std::printf("%-7s %9.0f %9.0f %9.0f %12.0f %8.2f %8.2f\n", BenchViews[v].name, r.ns.min,
                    r.ns.p25, r.ns.median, r.ticks.median, r.ns.median / run.streamFloor.median,
                    r.ns.median / run.memsetFloor.median);
    }
    std::printf("\nfloors, both 786,432-byte buffers (min / median ns):\n");
    std::printf("  16-byte streaming stores  %9.0f %9.0f\n", run.streamFloor.min,
                run.streamFloor.median);
    std::printf("  memset                    %9.0f %9.0f\n", run.memsetFloor.min,
                run.memsetFloor.median);
    std::printf("  ClearRenderTarget         %9.0f %9.0f   %.2fx the streaming floor\n",
                run.clear.min, run.clear.median, run.clear.median / run.streamFloor.median);
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
    std::printf("\nstart view by mode, %d rounds of %d frames each (ns)%s\n", BenchModeRounds,
                BenchMeasuredFrames,
                run.haveLp ? "; llvmpipe's time over the mode's, by min and by p25" : "");
    std::printf("%-42s %9s %9s %9s", "mode", "min", "p25", "median");
    if (run.haveLp) std::printf("  %13s  %13s", "lp 1 thread", "lp all cores");
    std::printf("\n");
    for (int m = 0; m < BenchModeCount; m++) {
        const Timing &t = run.modeTimes[m];
        char label[64];
        std::snprintf(
            label, sizeof label, "%s%s", run.modes[m].label,
            run.modes[m].threads > 1 ? (" x" + std::to_string(run.modes[m].threads)).c_str() : "");
        std::printf("%-42s %9.0f %9.0f %9.0f", label, t.min, t.p25, t.median);
        if (run.haveLp)
            std::printf("  %5.2fx %5.2fx  %5.2fx %5.2fx", run.lp.min / t.min, run.lp.p25 / t.p25,
                        run.lpAll.min / t.min, run.lpAll.p25 / t.p25);
        std::printf("\n");
    }
    if (run.haveLp) {
        std::printf("%-42s %9.0f %9.0f %9.0f\n", "llvmpipe, one thread", run.lp.min, run.lp.p25,
                    run.lp.median);
        std::printf("%-42s %9.0f %9.0f %9.0f\n",
                    ("llvmpipe, all cores x" + std::to_string(run.allCores)).c_str(), run.lpAll.min,
                    run.lpAll.p25, run.lpAll.median);
        std::printf("(%s)\n", run.lpRenderer.c_str());
    }
}

int main(int argc, char **argv) {
    BenchOptions options;
    std::string error;
    if (!ParseBenchOptions(argc, argv, options, error)) return ToolFail(program, error);
    if (options.help || options.version) {
        if (options.help)
            std::printf(usage, BenchModeRounds, FillPathChoices().c_str());
        else
            std::printf("%s\n", VersionLine(program).c_str());
        return StandardOutputWritten() ? 0 : ToolFail(program, "cannot write standard output");
    }
    if (!ChooseToolFill(options.fill, error)) return ToolFail(program, error);
    StartBenchGraphics();
    // Stopped and joined on every way out (also registered at exit).
    struct ThreadsStop {
        ~ThreadsStop() { StopBandThreads(); }
    } threadsStop;
    const int viewThreads = options.threads > 1 ? options.threads : 0;
    BenchRun run;
    if (!UseBenchThreads(viewThreads, error)) return ToolFail(program, error), 1;
    MeasureViews(argv[0], run);
    if (!MeasureModes(options, viewThreads, run, error)) return ToolFail(program, error), 1;

    const MachineInfo machine = {CpuField("model name"), CpuField("cpu family"), CpuField("model"),
                                 FillPathName(ActiveFillPath())};
    if (options.json)
        PrintJson(options, machine, run);
    else
        PrintTable(options, machine, run);
    if (!StandardOutputWritten()) return ToolFail(program, "cannot write standard output");
    return run.counted && run.hashesAgree ? 0 : 1;
}
