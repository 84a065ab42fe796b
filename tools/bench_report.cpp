#include "tools/bench_report.h"

#include <cstdio>

#include "app/version.h"
#include "tools/bench_llvmpipe.h"
#include "tools/bench_load.h"

double Fps(double ns) { return 1e9 / ns; }

std::string RunHeadline(const BenchSetting &s, const BenchRun &run) {
    char text[512];
    const double one = run.modeTimes[ModeShipped].t.median,
                 all = run.modeTimes[ModeAllCores].t.median;
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
    std::string what = "start view";
    if (run.model) {
        // The file's name without its folders, and its size in triangles.
        const std::string &file = run.modelInfo.file;
        const size_t slash = file.find_last_of("/\\");
        what = file.substr(slash == std::string::npos ? 0 : slash + 1) + " (" +
               std::to_string(run.modelInfo.triangles) + " triangles) " + what;
    }
    std::snprintf(text, sizeof text,
                  "scanvane-bench %s: %s %.1f us/frame = %.0f fps on one thread, %s; %s; "
                  "%s; fill %s%s",
                  SCANVANE_VERSION, what.c_str(), one / 1e3, Fps(one), cores, lp.c_str(),
                  s.machine.processor.c_str(), s.fill,
                  run.rounds > 1 ? (", median of " + std::to_string(run.rounds) + " rounds").c_str()
                                 : "");
    return text;
}

// The triangle sweep's: the biggest model at 1920 x 1080 (or the last size
// swept), triangles per second on one thread and on all cores, llvmpipe's
// beside them.
static std::string ModelSweepHeadline(const SweepResult &r, const BenchSetting &s) {
    const SweepRow *row = nullptr;
    bool at1080 = false;
    for (const SweepRow &each : r.rows) {
        const bool is1080 = each.size.width == 1920 && each.size.height == 1080;
        if (at1080 && !is1080) continue;
        if (!row || (is1080 && !at1080) ||
            r.models[each.model].triangles >= r.models[row->model].triangles)
            row = &each, at1080 = is1080;
    }
    if (!row) return "scanvane-bench triangle sweep";
    const double t = r.models[row->model].triangles;
    auto rate = [&](int m) {
        const SweepCell &c = row->cells[0][m];
        return c.have ? t / c.medianNs * 1e3 : 0.0; // millions a second
    };
    char lp[160] = "llvmpipe: not measured";
    if (row->cells[0][r.lpOne].have && row->cells[0][r.lpAll].have)
        std::snprintf(lp, sizeof lp, "llvmpipe %.2f M/s on one thread, %.2f M/s on %d",
                      rate(r.lpOne), rate(r.lpAll), r.allCores);
    char text[512];
    std::snprintf(text, sizeof text,
                  "scanvane-bench %s triangle sweep: %.0f triangles at %dx%d, %.2f million "
                  "triangles/s on one thread, %.2f M/s on %d threads; %s; %s; fill %s",
                  SCANVANE_VERSION, t, (int)row->size.width, (int)row->size.height, rate(r.shipped),
                  rate(r.bandsAll), r.allCores, lp, s.machine.processor.c_str(), s.fill);
    return text;
}

std::string SweepHeadline(const SweepResult &r, const BenchSetting &s) {
    if (r.byModels) return ModelSweepHeadline(r, s);
    const SweepRow *row = r.rows.empty() ? nullptr : &r.rows.back();
    for (const SweepRow &each : r.rows)
        if (each.size.width == 1920 && each.size.height == 1080) row = &each;
    if (!row) return "scanvane-bench sweep";
    const SweepCell &mine = row->cells[0][r.bandsAll], &lp = row->cells[0][r.lpOne];
    char lpText[96] = "llvmpipe: not measured";
    if (lp.have && mine.have)
        std::snprintf(lpText, sizeof lpText, "llvmpipe on one thread %.1f us (%.1fx)",
                      lp.medianNs / 1e3, lp.medianNs / mine.medianNs);
    char text[512];
    std::snprintf(text, sizeof text,
                  "scanvane-bench %s sweep: start view at %dx%d %.1f us/frame on %d threads, "
                  "%s; %s; fill %s",
                  SCANVANE_VERSION, (int)row->size.width, (int)row->size.height,
                  mine.medianNs / 1e3, r.allCores, lpText, s.machine.processor.c_str(), s.fill);
    return text;
}

std::string ShareLine() {
    return "To share a result: paste the line above into the issue or message; for every "
           "figure, run the same command with --json and attach its output (docs/bench-json.md).";
}

static int Percent(double share) { return (int)(share * 100 + 0.5); }

std::string LoadWarning(double share) {
    if (share < MeasurableOthersShare) return "";
    return "warning: other processes took " + std::to_string(Percent(share)) +
           "% of the processors' time while this measured; the times may be high: measure "
           "again on a quiet machine before comparing";
}

std::string SweepLoadWarning(const SweepResult &r) {
    std::string sizes;
    for (const SweepRow &row : r.rows) {
        if (row.othersShare < MeasurableOthersShare) continue;
        sizes +=
            (sizes.empty() ? "" : ", ") + std::to_string(Percent(row.othersShare)) + "% at " +
            (row.model >= 0 ? std::to_string(r.models[row.model].triangles) + " triangles, " : "") +
            std::to_string(row.size.width) + "x" + std::to_string(row.size.height);
    }
    if (sizes.empty()) return "";
    return "warning: other processes took a share of the processors' time while this measured (" +
           sizes + "); those times may be high: measure again on a quiet machine before comparing";
}
