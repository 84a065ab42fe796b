#include "tools/bench_sweep.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/camera.h"
#include "app/frame_bands.h"
#include "app/frame_cycle.h"
#include "render/bands.h"
#include "render/frustum.h"
#include "tools/bench_floors.h"
#include "tools/bench_llvmpipe.h"
#include "tools/bench_views.h"

const std::vector<FrameSize> DefaultSweepSizes = {{320, 240},   {640, 480},   {1280, 720},
                                                  {1920, 1080}, {2560, 1440}, {3840, 2160}};
const char *const SweepViewNames[SweepViewCount] = {"start", "walk"};

bool ParseSweepSizes(const std::string &text, std::vector<FrameSize> &sizes, std::string &error) {
    sizes.clear();
    size_t at = 0;
    for (;;) {
        size_t comma = text.find(',', at);
        std::string one =
            text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        FrameSize size;
        std::string why;
        if (!ParseFrameSize(one, size, why))
            return error = "--sweep-sizes '" + text.substr(0, 80) + "': '" + one.substr(0, 40) +
                           "' " + why,
                   false;
        sizes.push_back(size);
        if (comma == std::string::npos) return true;
        at = comma + 1;
    }
}

// RenderFrame as shipped (threads 0), or the band frame on that many threads.
bool UseBenchThreads(int threads, std::string &error) {
    StopBandThreads();
    BenchFrame = RenderFrame;
    if (threads == 0) return true;
    if (!StartBandThreads(threads, error)) return false;
    BenchFrame = RenderFrameInBands;
    return true;
}

static SweepCell CellOf(const std::vector<double> &ns) {
    SweepCell cell;
    if (ns.empty()) return cell;
    Timing t = Summarise(ns);
    cell.have = true, cell.medianNs = t.median, cell.minNs = t.min, cell.p25Ns = t.p25;
    return cell;
}

// The start view in every mode, pass by pass, with llvmpipe's two between,
// so a busy spell on a shared machine falls on all of them alike. The hash
// of each mode's last frame goes in hashes.
static bool TimeStartView(const SweepResult &r, SweepRow &row, std::vector<uint64_t> &hashes,
                          std::string &error) {
    const int64_t frequency = BenchCounterFrequency();
    const BenchView &view = BenchViews[0];
    std::vector<std::vector<double>> ns(r.modes.size());
    const int perPass = r.startFrames / SweepPasses;
    for (int pass = 0; pass < SweepPasses; pass++) {
        for (size_t m = 0; m < r.modes.size(); m++) {
            if (r.modes[m].llvmpipe) continue;
            if (!UseBenchThreads(r.modes[m].threads, error)) return false;
            ResetView(view);
            for (int i = 0; i < SweepWarmFrames; i++) DrawViewFrame(view, i);
            for (int i = 0; i < perPass; i++)
                ns[m].push_back((double)DrawViewFrame(view, i) * 1e9 / (double)frequency);
            hashes[m] = HashFrame(HashSeed);
        }
        if (!UseBenchThreads(0, error)) return false; // no helper threads across llvmpipe's fork
        for (size_t m = 0; m < r.modes.size() && r.haveLp; m++) {
            if (!r.modes[m].llvmpipe) continue;
            Timing unused;
            std::string renderer, lpError;
            if (!TimeLlvmpipeCameras({view.camera}, SweepWarmFrames, perPass, r.modes[m].threads,
                                     unused, renderer, lpError, &ns[m]))
                ns[m].clear(), ns[m].push_back(-1); // marks the failure
        }
    }
    for (size_t m = 0; m < r.modes.size(); m++)
        if (ns[m].empty() || ns[m][0] >= 0) row.cells[0][m] = CellOf(ns[m]);
    return true;
}

// The walk's first frames, in chunks: each chunk in every mode from the same
// camera, so the modes draw the same frames and share the machine's spells.
// The cameras are kept for llvmpipe to draw the same frames after.
static bool TimeWalk(const SweepResult &r, SweepRow &row, std::vector<uint64_t> &hashes,
                     std::vector<CameraState> &cameras, std::string &error) {
    const int64_t frequency = BenchCounterFrequency();
    const BenchView &view = BenchViews[BenchViewCount - 1];
    std::vector<std::vector<double>> ns(r.modes.size());
    ResetView(view);
    for (int first = 0; first < r.walkFrames; first += SweepWalkChunk) {
        const CameraState from = Camera;
        const int end =
            first + SweepWalkChunk < r.walkFrames ? first + SweepWalkChunk : r.walkFrames;
        for (size_t m = 0; m < r.modes.size(); m++) {
            if (r.modes[m].llvmpipe) continue;
            if (!UseBenchThreads(r.modes[m].threads, error)) return false;
            Camera = from;
            for (int i = first; i < end; i++) {
                ns[m].push_back((double)DrawViewFrame(view, i) * 1e9 / (double)frequency);
                if (m == 0) cameras.push_back(Camera);
            }
            hashes[m] = HashFrame(HashSeed);
            if (hashes[m] != hashes[0]) row.framesAgree = false;
        }
    }
    for (size_t m = 0; m < r.modes.size(); m++)
        if (!r.modes[m].llvmpipe) row.cells[1][m] = CellOf(ns[m]);
    return UseBenchThreads(0, error);
}

// The counting pass at this size: the pixels tested per frame of each view
// and the hash of the frames it drew.
static bool CountRow(const std::string &program, SweepRow &row, int walkFrames) {
    for (int view = 0; view < SweepViewCount; view++) {
        char command[1024];
        std::snprintf(command, sizeof command, "\"%s\" --size %dx%d --view %s --frames %d",
                      program.c_str(), (int)row.size.width, (int)row.size.height,
                      SweepViewNames[view], walkFrames);
        FILE *pipe = popen(command, "r");
        if (!pipe) return false;
        char name[64];
        int frames = 0;
        uint64_t tested = 0, hash = 0;
        uint64_t unused[6];
        bool got = std::fscanf(pipe,
                               "%63s %d %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64
                               " %" SCNu64 " %" SCNu64 " %" SCNx64,
                               name, &frames, &tested, &unused[0], &unused[1], &unused[2],
                               &unused[3], &unused[4], &unused[5], &hash) == 10;
        if (pclose(pipe) != 0 || !got || frames <= 0 || std::strcmp(name, SweepViewNames[view]))
            return false;
        row.tested[view] = (double)tested / frames;
        row.countedHash[view] = hash;
    }
    return true;
}

// Least squares of t = fixed + perPixel * tested over the sizes measured.
static SweepFit Fit(const SweepResult &r, int view, int mode) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const SweepRow &row : r.rows) {
        const SweepCell &c = row.cells[view][mode];
        if (!row.counted || !c.have) continue;
        const double x = row.tested[view], y = c.medianNs;
        n++, sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    SweepFit fit{0, 0, 0, false};
    const double d = n * sxx - sx * sx;
    if (n < 2 || d == 0) return fit;
    fit.perPixelNs = (n * sxy - sx * sy) / d;
    fit.fixedNs = (sy - fit.perPixelNs * sx) / n;
    double mean = sy / n, total = 0, left = 0;
    for (const SweepRow &row : r.rows) {
        const SweepCell &c = row.cells[view][mode];
        if (!row.counted || !c.have) continue;
        const double e = c.medianNs - (fit.fixedNs + fit.perPixelNs * row.tested[view]);
        total += (c.medianNs - mean) * (c.medianNs - mean), left += e * e;
    }
    fit.r2 = total > 0 ? 1 - left / total : 1;
    fit.have = true;
    return fit;
}

bool RunSweep(const SweepOptions &o, SweepResult &r, std::string &error) {
    // Whole passes: the start view's frames are timed a third at a time.
    r.startFrames = o.frames < SweepStartFrames ? o.frames : SweepStartFrames;
    r.startFrames = (r.startFrames + SweepPasses - 1) / SweepPasses * SweepPasses;
    r.walkFrames = o.frames;
    r.allCores = o.maxThreads;
    r.modes.clear();
    r.modes.push_back({"one_thread_streaming_clear", "1 thread, shipped", 0, false});
    for (int t = 1; t <= o.maxThreads; t++)
        r.modes.push_back({"threads_" + std::to_string(t),
                           std::to_string(t) + (t == 1 ? " thread" : " threads"), t, false});
    r.haveLp = LlvmpipeBuiltIn;
    if (!r.haveLp) r.lpError = "this build has no OSMesa";
    r.modes.push_back({"llvmpipe_one_thread", "llvmpipe 1 thread", 1, true});
    r.modes.push_back({"llvmpipe_all_cores",
                       "llvmpipe " + std::to_string(o.maxThreads) + " threads", o.maxThreads,
                       true});
    for (const FrameSize &size : o.sizes) {
        ResizeBenchGraphics(size);
        SweepRow row;
        row.size = size;
        row.counted = CountRow(o.countsProgram, row, r.walkFrames);
        for (int view = 0; view < SweepViewCount; view++) row.cells[view].resize(r.modes.size());
        std::vector<uint64_t> hashes(r.modes.size());
        std::vector<CameraState> cameras;
        if (!TimeStartView(r, row, hashes, error)) return false;
        for (size_t m = 1; m < r.modes.size(); m++)
            if (!r.modes[m].llvmpipe && hashes[m] != hashes[0]) row.framesAgree = false;
        if (!TimeWalk(r, row, hashes, cameras, error)) return false;
        for (size_t m = 0; m < r.modes.size() && r.haveLp; m++) {
            if (!r.modes[m].llvmpipe) continue;
            Timing t;
            r.haveLp = TimeLlvmpipeCameras(cameras, SweepWarmFrames, (int)cameras.size(),
                                           r.modes[m].threads, t, r.lpRenderer, r.lpError);
            if (r.haveLp) row.cells[1][m] = {true, t.median, t.min, t.p25};
            r.haveLp = r.haveLp && row.cells[0][m].have;
        }
        // The counting build's start frame is the one every mode drew.
        const uint64_t startHash = HashView(BenchViews[0]);
        if (row.counted && row.countedHash[0] != startHash) row.framesAgree = false;
        r.rows.push_back(row);
    }
    if (!r.haveLp) // a failure at a later size leaves llvmpipe out altogether
        for (SweepRow &row : r.rows)
            for (int view = 0; view < SweepViewCount; view++)
                for (size_t m = 0; m < r.modes.size(); m++)
                    if (r.modes[m].llvmpipe) row.cells[view][m] = SweepCell{};
    for (int view = 0; view < SweepViewCount; view++) {
        r.fits[view].clear();
        for (size_t m = 0; m < r.modes.size(); m++) r.fits[view].push_back(Fit(r, view, (int)m));
    }
    return true;
}

int SweepModeIndex(const SweepResult &r, const char *name) {
    for (size_t m = 0; m < r.modes.size(); m++)
        if (r.modes[m].name == name) return (int)m;
    return -1;
}

static double Pixels(const FrameSize &s) { return (double)s.width * s.height; }

// One thread's time (bands, ordinary clear) over N times the N-thread time.
static double Efficiency(const SweepRow &row, int view, int threads) {
    const SweepCell &one = row.cells[view][1], &n = row.cells[view][threads];
    return one.have && n.have ? one.medianNs / (threads * n.medianNs) : 0;
}

void PrintSweepTable(const SweepResult &r, const std::string &headline) {
    std::printf("%s\n\nmedian time per frame in microseconds: the start view (%d frames after %d "
                "warm-up) and the walk (its first %d frames)\n",
                headline.c_str(), r.startFrames, SweepWarmFrames, r.walkFrames);
    const int all = (int)r.modes.size() - 3, lp1 = all + 1, lpAll = all + 2;
    for (int view = 0; view < SweepViewCount; view++) {
        std::printf("\n%s view\n%-10s %8s %10s", SweepViewNames[view], "size", "Mpixels", "tested");
        for (const SweepMode &m : r.modes) std::printf(" %11.11s", m.label.c_str());
        std::printf(" %7s %7s %7s %7s %8s\n", "lp1/all", "lpN/all", "lp1/1t", "eff", "ns/px");
        for (const SweepRow &row : r.rows) {
            char size[24];
            std::snprintf(size, sizeof size, "%dx%d", (int)row.size.width, (int)row.size.height);
            std::printf("%-10s %8.2f %10.0f", size, Pixels(row.size) / 1e6,
                        row.counted ? row.tested[view] : 0.0);
            for (const SweepCell &c : row.cells[view])
                c.have ? std::printf(" %11.1f", c.medianNs / 1e3) : std::printf(" %11s", "-");
            const std::vector<SweepCell> &c = row.cells[view];
            auto ratio = [&](int a, int b) {
                c[a].have &&c[b].have ? std::printf(" %6.2fx", c[a].medianNs / c[b].medianNs)
                                      : std::printf(" %7s", "-");
            };
            ratio(lp1, all), ratio(lpAll, all), ratio(lp1, 1);
            std::printf(" %7.2f %8.3f\n", Efficiency(row, view, r.allCores),
                        c[all].medianNs / Pixels(row.size));
        }
        std::printf("lp1/all, lpN/all: llvmpipe on one thread and on %d over the bands on %d; "
                    "lp1/1t: over the bands on one thread;\neff: the bands on one thread over %d "
                    "times on %d; ns/px: the bands on %d, per pixel of the frame\n",
                    r.allCores, r.allCores, r.allCores, r.allCores, r.allCores);
        std::printf("cost model, least squares over the sizes: time = fixed + per pixel tested\n");
        for (size_t m = 0; m < r.modes.size(); m++) {
            const SweepFit &f = r.fits[view][m];
            if (!f.have) continue;
            std::printf("  %-20s %9.1f us + %7.3f ns x tested   (R^2 %.4f)\n",
                        r.modes[m].label.c_str(), f.fixedNs / 1e3, f.perPixelNs, f.r2);
        }
    }
    bool agree = true;
    for (const SweepRow &row : r.rows) agree = agree && row.framesAgree && row.counted;
    std::printf("\nevery mode drew the counting build's frames: %s\n", agree ? "yes" : "NO");
    if (r.haveLp)
        std::printf("(%s)\n", r.lpRenderer.c_str());
    else
        std::printf("llvmpipe: %s\n", r.lpError.c_str());
}

static void PrintCell(const SweepCell &c) {
    if (c.have)
        std::printf("{\"median_ns\":%.0f,\"p25_ns\":%.0f,\"min_ns\":%.0f}", c.medianNs, c.p25Ns,
                    c.minNs);
    else
        std::printf("null");
}

void PrintSweepJson(const SweepResult &r) {
    std::printf("{\"sweep_schema_version\":1,\"warmup_frames\":%d,\"start_frames\":%d,"
                "\"walk_frames\":%d,\"all_cores_threads\":%d,\"llvmpipe_renderer\":",
                SweepWarmFrames, r.startFrames, r.walkFrames, r.allCores);
    if (r.haveLp)
        std::printf("\"%s\"", r.lpRenderer.c_str());
    else
        std::printf("null");
    std::printf(",\"modes\":[");
    for (size_t m = 0; m < r.modes.size(); m++)
        std::printf("%s{\"name\":\"%s\",\"threads\":%d}", m ? "," : "", r.modes[m].name.c_str(),
                    r.modes[m].threads ? r.modes[m].threads : 1);
    std::printf("],\"sizes\":[");
    for (size_t i = 0; i < r.rows.size(); i++) {
        const SweepRow &row = r.rows[i];
        std::printf("%s{\"width_px\":%d,\"height_px\":%d,\"frames_agree\":%s", i ? "," : "",
                    (int)row.size.width, (int)row.size.height,
                    row.framesAgree && row.counted ? "true" : "false");
        for (int view = 0; view < SweepViewCount; view++) {
            std::printf(",\"%s\":{\"pixels_tested\":", SweepViewNames[view]);
            if (row.counted)
                std::printf("%.1f", row.tested[view]);
            else
                std::printf("null");
            for (size_t m = 0; m < r.modes.size(); m++) {
                std::printf(",\"%s\":", r.modes[m].name.c_str());
                PrintCell(row.cells[view][m]);
            }
            std::printf("}");
        }
        std::printf("}");
    }
    std::printf("],\"fits\":{");
    for (int view = 0; view < SweepViewCount; view++) {
        std::printf("%s\"%s\":{", view ? "," : "", SweepViewNames[view]);
        for (size_t m = 0; m < r.modes.size(); m++) {
            const SweepFit &f = r.fits[view][m];
            std::printf("%s\"%s\":", m ? "," : "", r.modes[m].name.c_str());
            if (f.have)
                std::printf("{\"fixed_ns\":%.1f,\"per_pixel_tested_ns\":%.4f,\"r_squared\":%.5f}",
                            f.fixedNs, f.perPixelNs, f.r2);
            else
                std::printf("null");
        }
        std::printf("}");
    }
    std::printf("}}");
}

// --- the chart ---------------------------------------------------------------

namespace {
constexpr int PanelWidth = 420, PanelHeight = 320, Margin = 56;
const char *const ModeColours[] = {"#1f77b4", "#2ca02c", "#d62728", "#9467bd",
                                   "#8c564b", "#e377c2", "#17becf", "#bcbd22"};
const char *const LpColours[] = {"#ff7f0e", "#7f7f7f"};

struct LogAxis {
    double lo, hi; // decades, as log10
    void Cover(double v) {
        double l = std::log10(v);
        lo = std::fmin(lo, std::floor(l)), hi = std::fmax(hi, std::ceil(l));
    }
    double At(double v, double from, double to) const {
        return from + (std::log10(v) - lo) / (hi - lo) * (to - from);
    }
};

struct Svg {
    std::string text;
    void Add(const char *format, ...) __attribute__((format(printf, 2, 3)));
};

void Svg::Add(const char *format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    text += line;
}

std::string Escape(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

// Axes, decade grid and labels of a log-log panel at (x0, y0).
// Thread counts are marked at powers of two, not decades.
void Frame(Svg &svg, int x0, int y0, const LogAxis &x, const LogAxis &y, const char *title,
           const char *xLabel, const char *yLabel, bool xThreads = false) {
    const int left = x0 + Margin, right = x0 + PanelWidth - 12, top = y0 + 28,
              bottom = y0 + PanelHeight - 40;
    svg.Add("<text x=\"%d\" y=\"%d\" font-size=\"14\" font-weight=\"bold\">%s</text>\n", left,
            y0 + 18, title);
    svg.Add("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"#444\"/>\n",
            left, top, right - left, bottom - top);
    for (double d = x.lo; d <= x.hi && !xThreads; d++) {
        double px = x.At(std::pow(10, d), left, right);
        svg.Add("<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"#ddd\"/>\n", px, top,
                px, bottom);
        svg.Add("<text x=\"%.1f\" y=\"%d\" font-size=\"11\" text-anchor=\"middle\">1e%d</text>\n",
                px, bottom + 14, (int)d);
    }
    for (int t = 1; xThreads && t <= (int)std::pow(10, x.hi) + 1e-9; t *= 2) {
        double px = x.At(t, left, right);
        svg.Add("<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" stroke=\"#ddd\"/>\n", px, top,
                px, bottom);
        svg.Add("<text x=\"%.1f\" y=\"%d\" font-size=\"11\" text-anchor=\"middle\">%d</text>\n", px,
                bottom + 14, t);
    }
    for (double d = y.lo; d <= y.hi; d++) {
        double py = y.At(std::pow(10, d), bottom, top);
        svg.Add("<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" stroke=\"#ddd\"/>\n", left, py,
                right, py);
        const double v = std::pow(10, d);
        svg.Add("<text x=\"%d\" y=\"%.1f\" font-size=\"11\" text-anchor=\"end\">%g</text>\n",
                left - 4, py + 4, v);
    }
    svg.Add("<text x=\"%d\" y=\"%d\" font-size=\"12\" text-anchor=\"middle\">%s</text>\n",
            (left + right) / 2, bottom + 32, xLabel);
    svg.Add("<text x=\"%d\" y=\"%d\" font-size=\"12\" text-anchor=\"middle\" "
            "transform=\"rotate(-90 %d %d)\">%s</text>\n",
            x0 + 14, (top + bottom) / 2, x0 + 14, (top + bottom) / 2, yLabel);
}

void Polyline(Svg &svg, std::vector<std::pair<double, double>> points, const char *colour,
              bool dashed) {
    if (points.empty()) return;
    std::sort(points.begin(), points.end());
    svg.text += "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"";
    svg.text += colour;
    svg.text += dashed ? "\" stroke-dasharray=\"6 4\" points=\"" : "\" points=\"";
    for (const auto &p : points) svg.Add("%.1f,%.1f ", p.first, p.second);
    svg.text += "\"/>\n";
    for (const auto &p : points)
        svg.Add("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"2.5\" fill=\"%s\"/>\n", p.first, p.second,
                colour);
}
} // namespace

std::string SweepSvg(const SweepResult &r, const std::string &title) {
    const int width = 3 * PanelWidth, height = PanelHeight + 110;
    Svg svg;
    svg.Add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
            "width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" font-family=\"sans-serif\">\n"
            "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
            width, height, width, height);
    svg.Add("<text x=\"12\" y=\"20\" font-size=\"13\">%s</text>\n", Escape(title).c_str());
    LogAxis px{1e9, -1e9}, ms{1e9, -1e9}, threads{0, std::log10((double)r.allCores)};
    for (const SweepRow &row : r.rows) {
        px.Cover(Pixels(row.size));
        for (int view = 0; view < SweepViewCount; view++)
            for (const SweepCell &c : row.cells[view])
                if (c.have) ms.Cover(c.medianNs / 1e6);
    }
    if (r.rows.empty() || ms.lo > ms.hi) return svg.text + "</svg>\n";
    if (threads.hi <= 0) threads.hi = 1;
    auto colourOf = [&](size_t m) {
        return r.modes[m].llvmpipe ? LpColours[r.modes[m].threads > 1]
                                   : ModeColours[m % (sizeof ModeColours / sizeof *ModeColours)];
    };
    for (int view = 0; view < SweepViewCount; view++) {
        const int x0 = view * PanelWidth, y0 = 30;
        char heading[96];
        std::snprintf(heading, sizeof heading, "%s view: time per frame against pixels",
                      SweepViewNames[view]);
        Frame(svg, x0, y0, px, ms, heading, "pixels per frame", "ms per frame (median)");
        for (size_t m = 0; m < r.modes.size(); m++) {
            std::vector<std::pair<double, double>> points;
            for (const SweepRow &row : r.rows) {
                const SweepCell &c = row.cells[view][m];
                if (!c.have) continue;
                points.push_back({px.At(Pixels(row.size), x0 + Margin, x0 + PanelWidth - 12),
                                  ms.At(c.medianNs / 1e6, y0 + PanelHeight - 40, y0 + 28)});
            }
            Polyline(svg, points, colourOf(m), r.modes[m].llvmpipe);
        }
    }
    // Time against threads, one line per size, the start view; llvmpipe dashed.
    const int x0 = 2 * PanelWidth, y0 = 30;
    Frame(svg, x0, y0, threads, ms, "start view: time per frame against threads", "threads",
          "ms per frame (median)", true);
    const char *const sizeColours[] = {"#440154", "#414487", "#2a788e",
                                       "#22a884", "#7ad151", "#fde725"};
    for (size_t i = 0; i < r.rows.size(); i++) {
        const char *colour = sizeColours[i % 6];
        for (int lp = 0; lp < 2; lp++) {
            std::vector<std::pair<double, double>> points;
            for (size_t m = 0; m < r.modes.size(); m++) {
                const SweepCell &c = r.rows[i].cells[0][m];
                if (!c.have || r.modes[m].threads == 0 || r.modes[m].llvmpipe != (lp == 1))
                    continue;
                points.push_back({threads.At(r.modes[m].threads, x0 + Margin, x0 + PanelWidth - 12),
                                  ms.At(c.medianNs / 1e6, y0 + PanelHeight - 40, y0 + 28)});
            }
            Polyline(svg, points, colour, lp == 1);
        }
    }
    // Legends under the panels.
    int lx = 12, ly = PanelHeight + 50;
    for (size_t m = 0; m < r.modes.size(); m++) {
        svg.Add("<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"%s\" stroke-width=\"2\"%s/>"
                "<text x=\"%d\" y=\"%d\" font-size=\"11\">%s</text>\n",
                lx, ly, lx + 22, ly, colourOf(m),
                r.modes[m].llvmpipe ? " stroke-dasharray=\"6 4\"" : "", lx + 26, ly + 4,
                Escape(r.modes[m].label).c_str());
        lx += 150;
        if (lx > 2 * PanelWidth - 150) lx = 12, ly += 18;
    }
    lx = 2 * PanelWidth + 12, ly = PanelHeight + 50;
    for (size_t i = 0; i < r.rows.size(); i++) {
        svg.Add("<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"%s\" stroke-width=\"2\"/>"
                "<text x=\"%d\" y=\"%d\" font-size=\"11\">%dx%d</text>\n",
                lx, ly, lx + 22, ly, sizeColours[i % 6], lx + 26, ly + 4, (int)r.rows[i].size.width,
                (int)r.rows[i].size.height);
        lx += 130;
        if (lx > 3 * PanelWidth - 130) lx = 2 * PanelWidth + 12, ly += 18;
    }
    svg.Add("<text x=\"%d\" y=\"%d\" font-size=\"11\">(dashed: llvmpipe)</text>\n",
            2 * PanelWidth + 12, ly + 20);
    return svg.text + "</svg>\n";
}
