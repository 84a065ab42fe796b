#include "tools/bench_table.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "render/frustum.h"

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

void PrintRunTable(const BenchSetting &s, const BenchRun &run) {
    // Ticks are worth a column only where they are not nanoseconds already.
    const bool ticksDiffer = run.frequency != 1000000000;
    std::printf("%s\n%s\n", RunHeadline(s, run).c_str(), ShareLine().c_str());
    const std::string warning = LoadWarning(run.othersShare);
    if (!warning.empty()) std::printf("%s\n", warning.c_str());
    std::printf("\n");
    std::printf("cpu: %s (family %s, model %s)  %s  %s\n", s.machine.processor.c_str(),
                s.machine.family.c_str(), s.machine.model.c_str(), s.machine.os.c_str(),
                s.machine.compiler.c_str());
    std::printf("counter: %" PRId64 " ticks/s%s  size: %dx%d  span fill: %s  threads: %d%s  %s\n",
                run.frequency, ticksDiffer ? "" : " (ticks are ns)", (int)Screen.width,
                (int)Screen.height, s.fill, s.threads,
                s.threads > 1 ? " (rows in bands, ordinary clear)" : " (as shipped)",
                s.machine.date.c_str());
    if (run.model) {
        const BenchModel &m = run.modelInfo;
        const CameraState &c = run.views[0].camera;
        std::printf("model: %s (%s, %u vertices, %u triangles, loaded in %.1f ms; %s, up %s, "
                    "shading %s)\nits start view from --camera %.9g,%.9g,%.9g,%.9g\n",
                    m.file.c_str(), m.format.c_str(), m.vertices, m.triangles, m.loadMs,
                    m.placement.c_str(), m.up.c_str(), m.shading.c_str(), c.x, c.z, c.height,
                    c.heading);
    }
    std::printf("drawing work per frame (begin frame to last triangle), %d frames after %d "
                "warm-up",
                run.measuredFrames, run.warmFrames);
    if (run.rounds > 1)
        std::printf(", %d rounds; rnd: the min, median and max of the rounds' medians", run.rounds);
    std::printf("\n\n%-7s", "view");
    PrintFigureHeadings(run.rounds);
    if (ticksDiffer) std::printf(" %12s", "median ticks");
    std::printf(" %8s %8s\n", "x floor", "x memset");
    for (int v = 0; v < run.viewCount; v++) {
        const ViewResult &r = run.results[v];
        std::printf("%-7s", run.views[v].name);
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
    } else if (run.model) {
        std::printf("\nwork per frame: %s\n", run.countsError.c_str());
        if (run.peakResidentBytes > 0)
            std::printf("peak resident set while drawing: %.1f MB (%.0f bytes per triangle)\n",
                        run.peakResidentBytes / 1e6,
                        run.peakResidentBytes /
                            (run.modelInfo.triangles ? run.modelInfo.triangles : 1));
    }
    std::printf("\nstart view by mode, %d interleaved passes of %d frames each per round\n%-42s",
                BenchModePasses, run.measuredFrames, "mode");
    PrintFigureHeadings(run.rounds);
    std::printf("\n");
    for (int m = 0; m < BenchModeCount; m++) {
        char label[64];
        std::snprintf(label, sizeof label, "%s%s", run.modes[m].label,
                      DrawingThreads(run.modes[m].drawing) > 1
                          ? (" x" + std::to_string(DrawingThreads(run.modes[m].drawing))).c_str()
                          : "");
        std::printf("%-42s", label);
        if (!ModeAvailable(run, m)) {
            std::printf(" not measured: %s\n", run.allCoresError.c_str());
            continue;
        }
        PrintFigureColumns(run.modeTimes[m], run.rounds);
        std::printf("  frame %08x\n", (unsigned)run.modeCrc[m]);
    }
    std::printf("every mode drew the start view's frame: %s\n", run.modesAgree ? "yes" : "NO");
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

// The walk's frame times, one row per frame of every round.
std::string FramesCsv(const BenchRun &run) {
    std::string csv = "round,frame,ns\n";
    char row[64];
    for (size_t r = 0; r < run.walkNs.size(); r++)
        for (size_t f = 0; f < run.walkNs[r].size(); f++) {
            std::snprintf(row, sizeof row, "%zu,%zu,%.0f\n", r + 1, f + 1, run.walkNs[r][f]);
            csv += row;
        }
    return csv;
}

static double Pixels(const FrameSize &s) { return (double)s.width * s.height; }

// The bands on one thread over N times the bands on N (all cores).
static double Efficiency(const SweepResult &r, const SweepRow &row, int view) {
    const SweepCell &one = row.cells[view][r.bandsOne], &n = row.cells[view][r.bandsAll];
    return one.have && n.have ? one.medianNs / (r.allCores * n.medianNs) : 0;
}

// A mode's column is as wide as its label, so no heading is cut.
static int ColumnWidth(const SweepMode &m) {
    constexpr int least = 11;
    return (int)m.label.size() > least ? (int)m.label.size() : least;
}

static void PrintFit(const SweepMode &mode, const LineFit &f) {
    std::printf("  %-20s %9.1f us + %7.3f ns x tested   (R^2 %.4f)", mode.label.c_str(),
                f.fixed / 1e3, f.perUnit, f.r2);
    if (f.heldAtZero)
        std::printf("  fixed held at 0: the free fit gave %.1f us", f.freeFixed / 1e3);
    std::printf("\n");
}

void PrintSweepTable(const BenchSetting &s, const SweepResult &r) {
    std::printf("%s\n%s\n", SweepHeadline(r, s).c_str(), ShareLine().c_str());
    const std::string warning = SweepLoadWarning(r);
    if (!warning.empty()) std::printf("%s\n", warning.c_str());
    std::printf("\nmedian time per frame in microseconds: the start view (%d frames after %d "
                "warm-up) and the walk (its first %d frames)\n",
                r.startFrames, SweepWarmFrames, r.walkFrames);
    for (int view = 0; view < SweepViewCount; view++) {
        std::printf("\n%s view\n%-10s %8s %10s", SweepViewNames[view], "size", "Mpixels", "tested");
        for (const SweepMode &m : r.modes) std::printf(" %*s", ColumnWidth(m), m.label.c_str());
        std::printf(" %7s %7s %7s %7s %8s\n", "lp1/all", "lpN/all", "lp1/1t", "eff", "ns/px");
        for (const SweepRow &row : r.rows) {
            char size[24];
            std::snprintf(size, sizeof size, "%dx%d", (int)row.size.width, (int)row.size.height);
            std::printf("%-10s %8.2f %10.0f", size, Pixels(row.size) / 1e6,
                        row.counted ? row.tested[view] : 0.0);
            const std::vector<SweepCell> &c = row.cells[view];
            for (size_t m = 0; m < r.modes.size(); m++) {
                const int width = ColumnWidth(r.modes[m]);
                c[m].have ? std::printf(" %*.1f", width, c[m].medianNs / 1e3)
                          : std::printf(" %*s", width, "-");
            }
            auto ratio = [&](int a, int b) {
                c[a].have &&c[b].have ? std::printf(" %6.2fx", c[a].medianNs / c[b].medianNs)
                                      : std::printf(" %7s", "-");
            };
            ratio(r.lpOne, r.bandsAll), ratio(r.lpAll, r.bandsAll), ratio(r.lpOne, r.bandsOne);
            std::printf(" %7.2f %8.3f\n", Efficiency(r, row, view),
                        c[r.bandsAll].medianNs / Pixels(row.size));
        }
        std::printf("lp1/all, lpN/all: llvmpipe on one thread and on %d over the bands on %d; "
                    "lp1/1t: over the bands on one thread;\neff: the bands on one thread over %d "
                    "times on %d; ns/px: the bands on %d, per pixel of the frame\n",
                    r.allCores, r.allCores, r.allCores, r.allCores, r.allCores);
        std::printf("cost model, least squares over the sizes: time = fixed + per pixel tested, "
                    "the fixed part at least 0\n");
        bool held = false;
        for (size_t m = 0; m < r.modes.size(); m++)
            if (r.fits[view][m].have)
                PrintFit(r.modes[m], r.fits[view][m]), held = held || r.fits[view][m].heldAtZero;
        if (held)
            std::printf("  held at 0: the time grows faster than the pixels tested (larger frames "
                        "outgrow the caches),\n  so the free line meets zero work below zero "
                        "time; a frame costs no less than nothing\n");
    }
    std::printf("\nevery mode drew the counting build's frames: %s\n",
                SweepFramesAgree(r) ? "yes" : "NO");
    if (!r.countsError.empty()) std::printf("counting pass: %s\n", r.countsError.c_str());
    if (r.haveLp)
        std::printf("(%s)\n", r.lpRenderer.c_str());
    else
        std::printf("llvmpipe: %s\n", r.lpError.c_str());
}

// The file's name without its folders.
static std::string BaseName(const std::string &path) {
    const size_t slash = path.find_last_of("/\\");
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

void PrintModelSweepTable(const BenchSetting &s, const SweepResult &r) {
    std::printf("%s\n%s\n", SweepHeadline(r, s).c_str(), ShareLine().c_str());
    const std::string warning = SweepLoadWarning(r);
    if (!warning.empty()) std::printf("%s\n", warning.c_str());
    const CameraState &c = r.camera;
    std::printf("\ntriangle sweep: the start view of each model from --camera %.9g,%.9g,%.9g,%.9g; "
                "median milliseconds per frame\n(the frames each mode drew, in %d interleaved "
                "passes after warm-up)\n\n",
                c.x, c.z, c.height, c.heading, SweepPasses);
    std::printf("%-16s %9s %-10s %6s", "model", "triangles", "size", "frames");
    for (const SweepMode &m : r.modes) std::printf(" %*s", ColumnWidth(m), m.label.c_str());
    std::printf("\n");
    for (const SweepRow &row : r.rows) {
        char size[24];
        std::snprintf(size, sizeof size, "%dx%d", (int)row.size.width, (int)row.size.height);
        std::printf("%-16s %9u %-10s %6d", BaseName(r.models[row.model].file).c_str(),
                    r.models[row.model].triangles, size, row.frames);
        for (size_t m = 0; m < r.modes.size(); m++) {
            const SweepCell &cell = row.cells[0][m];
            const int width = ColumnWidth(r.modes[m]);
            cell.have ? std::printf(" %*.2f", width, cell.medianNs / 1e6)
                      : std::printf(" %*s", width, "-");
        }
        std::printf("\n");
    }
    // Per triangle: one thread as shipped and the bands on all cores, llvmpipe's beside.
    const int columns[] = {r.shipped, r.bandsAll, r.lpOne, r.lpAll};
    std::printf("\nper triangle: ns per triangle and million triangles per second (1t: one thread "
                "as shipped, %dt: the bands on %d, lp: llvmpipe);\neff: the bands on one thread "
                "over %d times on %d; lp/ours: llvmpipe's time over ours, on one thread and on "
                "%d\n",
                r.allCores, r.allCores, r.allCores, r.allCores, r.allCores);
    std::printf("%-16s %9s %-10s %7s %7s %7s %7s %8s %8s %8s %8s %5s %7s %7s\n", "model",
                "triangles", "size", "ns 1t", ("ns " + std::to_string(r.allCores) + "t").c_str(),
                "lp 1t", ("lp " + std::to_string(r.allCores) + "t").c_str(), "Mt/s 1t",
                ("Mt/s " + std::to_string(r.allCores) + "t").c_str(), "lp 1t",
                ("lp " + std::to_string(r.allCores) + "t").c_str(), "eff", "lp/1t",
                ("lp/" + std::to_string(r.allCores) + "t").c_str());
    for (const SweepRow &row : r.rows) {
        const double t = r.models[row.model].triangles;
        char size[24];
        std::snprintf(size, sizeof size, "%dx%d", (int)row.size.width, (int)row.size.height);
        std::printf("%-16s %9.0f %-10s", BaseName(r.models[row.model].file).c_str(), t, size);
        const std::vector<SweepCell> &cells = row.cells[0];
        for (int m : columns)
            cells[m].have ? std::printf(" %7.1f", cells[m].medianNs / t) : std::printf(" %7s", "-");
        for (int m : columns)
            cells[m].have ? std::printf(" %8.2f", t / cells[m].medianNs * 1e3)
                          : std::printf(" %8s", "-");
        std::printf(" %5.2f", Efficiency(r, row, 0));
        for (int k = 0; k < 2; k++) {
            const SweepCell &lp = cells[k ? r.lpAll : r.lpOne],
                            &ours = cells[k ? r.bandsAll : r.shipped];
            lp.have &&ours.have ? std::printf(" %6.1fx", lp.medianNs / ours.medianNs)
                                : std::printf(" %7s", "-");
        }
        std::printf("\n");
    }
    std::printf("\ncost model, least squares over the models%s: time = fixed + per triangle%s, the "
                "fixed part at least 0\n",
                r.costFits.empty() || !r.costFits[0].byPixels ? "" : " and sizes",
                r.costFits.empty() || !r.costFits[0].byPixels ? "" : " + per pixel");
    for (size_t m = 0; m < r.modes.size() && m < r.costFits.size(); m++) {
        const CostFit &f = r.costFits[m];
        if (!f.have) continue;
        std::printf("  %-20s %8.3f ms + %7.1f ns x triangles", r.modes[m].label.c_str(),
                    f.fixed / 1e6, f.perTriangle);
        // Nothing holds the per-pixel part above zero: say its sign as it is.
        if (f.byPixels)
            std::printf(" %c %6.3f ns x pixels", f.perPixel < 0 ? '-' : '+', std::fabs(f.perPixel));
        std::printf("   (R^2 %.4f)", f.r2);
        if (f.heldAtZero)
            std::printf("  fixed held at 0: the free fit gave %.3f ms", f.freeFixed / 1e6);
        std::printf("\n");
    }
    std::printf("\nevery mode drew the same frames: %s\n", SweepFramesAgree(r) ? "yes" : "NO");
    std::printf("counts: %s\n", r.countsError.c_str());
    if (r.haveLp)
        std::printf("(%s)\n", r.lpRenderer.c_str());
    else
        std::printf("llvmpipe: %s\n", r.lpError.c_str());
}
