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

#include "tools/bench_floors.h"
#include "tools/bench_llvmpipe.h"
#include "tools/bench_views.h"

static const char usage[] =
    "usage: scanvane-bench [--json] [--compare-llvmpipe]\n"
    "Times the real frame cycle's drawing work (begin frame to last triangle)\n"
    "for the views start, window, wall, above and walk: 60 warm-up frames, then\n"
    "min / p25 / median of 600 frames in nanoseconds and counter ticks, with the\n"
    "work each view does and its ratio to the clear's floors measured in the same\n"
    "run (both buffers written with 16-byte streaming stores, and with memset).\n"
    "  --json              one JSON object instead of the table\n"
    "  --compare-llvmpipe  also draw the start view with Mesa's llvmpipe (OSMesa,\n"
    "                      one thread) and print how many times slower it is\n"
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

static std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0) {
            size_t colon = line.find(':');
            if (colon != std::string::npos && colon + 2 <= line.size()) return line.substr(colon + 2);
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

// Counts per frame: exact for a still view, the mean for the walk.
static double PerFrame(uint64_t total, int frames) { return (double)total / (double)frames; }

int main(int argc, char **argv) {
    bool json = false, llvmpipe = false;
    for (int i = 1; i < argc; i++) {
        if (!std::strcmp(argv[i], "--json")) json = true;
        else if (!std::strcmp(argv[i], "--compare-llvmpipe")) llvmpipe = true;
        else if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(usage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "scanvane-bench: unknown option '%s' (see --help)\n", argv[i]);
            return 2;
        }
    }

    StartBenchGraphics();
    const int64_t frequency = BenchCounterFrequency();
    Timing streamFloor = TimeStreamFloor(BenchMeasuredFrames);
    Timing memsetFloor = TimeMemsetFloor(BenchMeasuredFrames);
    Timing clear = TimeClearRenderTarget(BenchMeasuredFrames);

    ViewResult results[BenchViewCount];
    for (int v = 0; v < BenchViewCount; v++) {
        const BenchView &view = BenchViews[v];
        ResetView(view);
        for (int i = 0; i < BenchWarmFrames; i++) DrawViewFrame(view, i);
        ResetView(view);
        std::vector<double> ticks, ns;
        for (int i = 0; i < BenchMeasuredFrames; i++) {
            uint32_t t = DrawViewFrame(view, i);
            ticks.push_back((double)t);
            ns.push_back((double)t * 1e9 / (double)frequency);
        }
        results[v].ns = Summarise(ns);
        results[v].ticks = Summarise(ticks);
    }
    // Untimed: the frames themselves, to compare with the counting build.
    for (int v = 0; v < BenchViewCount; v++) results[v].hash = HashView(BenchViews[v]);

    std::string countsError;
    bool counted = ReadCounts(CountsProgram(argv[0]), results, countsError);
    if (!counted) std::fprintf(stderr, "scanvane-bench: counts unavailable: %s\n", countsError.c_str());
    bool hashesAgree = true;
    for (const ViewResult &r : results)
        if (r.counted && r.countedHash != r.hash) hashesAgree = false;
    if (!hashesAgree)
        std::fprintf(stderr, "scanvane-bench: the counting build drew different frames!\n");

    Timing lp{};
    std::string lpRenderer, lpError;
    bool haveLp = llvmpipe && TimeLlvmpipe(BenchViews[0].camera, BenchMeasuredFrames, lp, lpRenderer, lpError);
    if (llvmpipe && !haveLp) std::fprintf(stderr, "scanvane-bench: llvmpipe: %s\n", lpError.c_str());

    const std::string cpu = CpuModel();
    if (json) {
        std::printf("{\"cpu\":%s,\"counter_frequency\":%" PRId64 ",\"views\":[", JsonString(cpu).c_str(),
                    frequency);
        for (int v = 0; v < BenchViewCount; v++) {
            const ViewResult &r = results[v];
            std::printf("%s{\"name\":\"%s\",\"median_ns\":%.0f,\"p25_ns\":%.0f,\"min_ns\":%.0f,"
                        "\"median_ticks\":%.0f,\"p25_ticks\":%.0f,\"min_ticks\":%.0f,"
                        "\"median_vs_clear_floor\":%.3f,\"median_vs_memset\":%.3f,"
                        "\"frame_hash\":\"%016" PRIx64 "\"",
                        v ? "," : "", BenchViews[v].name, r.ns.medianNs, r.ns.p25Ns, r.ns.minNs,
                        r.ticks.medianNs, r.ticks.p25Ns, r.ticks.minNs,
                        r.ns.medianNs / streamFloor.medianNs, r.ns.medianNs / memsetFloor.medianNs,
                        r.hash);
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
                    clear.medianNs, streamFloor.medianNs, memsetFloor.medianNs,
                    clear.medianNs / streamFloor.medianNs, counted && hashesAgree ? "true" : "false");
        if (haveLp)
            std::printf(",\"llvmpipe_renderer\":%s,\"llvmpipe_median_ns\":%.0f,\"llvmpipe_min_ns\":%.0f,"
                        "\"llvmpipe_vs_start\":%.2f,\"llvmpipe_min_vs_start_min\":%.2f",
                        JsonString(lpRenderer).c_str(), lp.medianNs, lp.minNs,
                        lp.medianNs / results[0].ns.medianNs, lp.minNs / results[0].ns.minNs);
        std::printf("}\n");
    } else {
        std::printf("scanvane-bench  cpu: %s  counter: %" PRId64 " ticks/s\n", cpu.c_str(), frequency);
        std::printf("drawing work per frame (begin frame to last triangle), %d frames after %d "
                    "warm-up\n\n",
                    BenchMeasuredFrames, BenchWarmFrames);
        std::printf("%-7s %9s %9s %9s %12s %8s %8s\n", "view", "min ns", "p25 ns", "median ns",
                    "median ticks", "x floor", "x memset");
        for (int v = 0; v < BenchViewCount; v++) {
            const ViewResult &r = results[v];
            std::printf("%-7s %9.0f %9.0f %9.0f %12.0f %8.2f %8.2f\n", BenchViews[v].name,
                        r.ns.minNs, r.ns.p25Ns, r.ns.medianNs, r.ticks.medianNs,
                        r.ns.medianNs / streamFloor.medianNs, r.ns.medianNs / memsetFloor.medianNs);
        }
        std::printf("\nfloors, both 786,432-byte buffers (min / median ns):\n");
        std::printf("  16-byte streaming stores  %9.0f %9.0f\n", streamFloor.minNs, streamFloor.medianNs);
        std::printf("  memset                    %9.0f %9.0f\n", memsetFloor.minNs, memsetFloor.medianNs);
        std::printf("  ClearRenderTarget         %9.0f %9.0f   %.2fx the streaming floor\n",
                    clear.minNs, clear.medianNs, clear.medianNs / streamFloor.medianNs);
        if (counted) {
            std::printf("\nwork per frame (walk: mean over its %d frames)\n", BenchMeasuredFrames);
            std::printf("%-7s %9s %9s %7s %6s %8s %7s %6s\n", "view", "tested", "written", "spans",
                        "drawn", "rejected", "clipped", "split");
            for (int v = 0; v < BenchViewCount; v++) {
                const ViewResult &r = results[v];
                std::printf("%-7s %9.0f %9.0f %7.0f %6.1f %8.1f %7.1f %6.1f\n", BenchViews[v].name,
                            PerFrame(r.tested, r.frames), PerFrame(r.written, r.frames),
                            PerFrame(r.spans, r.frames), PerFrame(r.drawn, r.frames),
                            PerFrame(r.rejected, r.frames), PerFrame(r.clipped, r.frames),
                            PerFrame(r.split, r.frames));
            }
            std::printf("counting build draws the same frames: %s\n", hashesAgree ? "yes" : "NO");
        }
        if (haveLp)
            std::printf("\nllvmpipe (%s, one thread), start view: min %.0f ns, median %.0f ns;\n"
                        "  %.2fx the start view's drawing work by median, %.2fx by min\n",
                        lpRenderer.c_str(), lp.minNs, lp.medianNs, lp.medianNs / results[0].ns.medianNs,
                        lp.minNs / results[0].ns.minNs);
    }
    return counted && hashesAgree ? 0 : 1;
}
