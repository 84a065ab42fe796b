#include "tools/bench_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

static double Pixels(const FrameSize &s) { return (double)s.width * s.height; }

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
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// Axes, decade grid and labels of a log-log panel at (x0, y0).
// Thread counts are marked at powers of two, not decades.
void DrawPanelAxes(Svg &svg, int x0, int y0, const LogAxis &x, const LogAxis &y, const char *title,
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
// llvmpipe's two in their own colours, ours from the palette.
const char *ModeColour(const SweepResult &r, size_t m) {
    return r.modes[m].kind == SweepKind::Llvmpipe
               ? LpColours[r.modes[m].threads > 1]
               : ModeColours[m % (sizeof ModeColours / sizeof *ModeColours)];
}

// A legend entry per mode from (x, y), step apart, wrapped before right.
void ModeLegend(Svg &svg, const SweepResult &r, int &x, int &y, int step, int right) {
    for (size_t m = 0; m < r.modes.size(); m++) {
        svg.Add("<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"%s\" stroke-width=\"2\"%s/>"
                "<text x=\"%d\" y=\"%d\" font-size=\"11\">%s</text>\n",
                x, y, x + 22, y, ModeColour(r, m),
                r.modes[m].kind == SweepKind::Llvmpipe ? " stroke-dasharray=\"6 4\"" : "", x + 26,
                y + 4, Escape(r.modes[m].label).c_str());
        x += step;
        if (x > right - step) x = 12, y += 18;
    }
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
    auto colourOf = [&](size_t m) { return ModeColour(r, m); };
    for (int view = 0; view < SweepViewCount; view++) {
        const int x0 = view * PanelWidth, y0 = 30;
        char heading[96];
        std::snprintf(heading, sizeof heading, "%s view: time per frame against pixels",
                      SweepViewNames[view]);
        DrawPanelAxes(svg, x0, y0, px, ms, heading, "pixels per frame", "ms per frame (median)");
        for (size_t m = 0; m < r.modes.size(); m++) {
            std::vector<std::pair<double, double>> points;
            for (const SweepRow &row : r.rows) {
                const SweepCell &c = row.cells[view][m];
                if (!c.have) continue;
                points.push_back({px.At(Pixels(row.size), x0 + Margin, x0 + PanelWidth - 12),
                                  ms.At(c.medianNs / 1e6, y0 + PanelHeight - 40, y0 + 28)});
            }
            Polyline(svg, points, colourOf(m), r.modes[m].kind == SweepKind::Llvmpipe);
        }
    }
    // Time against threads, one line per size, the start view; llvmpipe dashed.
    const int x0 = 2 * PanelWidth, y0 = 30;
    DrawPanelAxes(svg, x0, y0, threads, ms, "start view: time per frame against threads", "threads",
                  "ms per frame (median)", true);
    const char *const sizeColours[] = {"#440154", "#414487", "#2a788e",
                                       "#22a884", "#7ad151", "#fde725"};
    for (size_t i = 0; i < r.rows.size(); i++) {
        const char *colour = sizeColours[i % 6];
        for (int lp = 0; lp < 2; lp++) {
            std::vector<std::pair<double, double>> points;
            for (size_t m = 0; m < r.modes.size(); m++) {
                const SweepCell &c = r.rows[i].cells[0][m];
                const bool isLp = r.modes[m].kind == SweepKind::Llvmpipe;
                if (!c.have || r.modes[m].kind == SweepKind::Shipped || isLp != (lp == 1)) continue;
                points.push_back({threads.At(r.modes[m].threads, x0 + Margin, x0 + PanelWidth - 12),
                                  ms.At(c.medianNs / 1e6, y0 + PanelHeight - 40, y0 + 28)});
            }
            Polyline(svg, points, colour, lp == 1);
        }
    }
    // Legends under the panels.
    int lx = 12, ly = PanelHeight + 50;
    ModeLegend(svg, r, lx, ly, 150, 2 * PanelWidth);
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

// The triangle sweep: for each size a row of two log-log panels against the
// triangles, the time per frame and the time per triangle, one line per mode
// (llvmpipe's dashed).
std::string ModelSweepSvg(const SweepResult &r, const std::string &title) {
    std::vector<FrameSize> sizes;
    for (const SweepRow &row : r.rows) {
        bool seen = false;
        for (const FrameSize &s : sizes)
            seen = seen || (s.width == row.size.width && s.height == row.size.height);
        if (!seen) sizes.push_back(row.size);
    }
    // The headline is long: broken after its semicolons into lines that fit.
    std::vector<std::string> lines(1);
    for (size_t at = 0; at < title.size();) {
        size_t end = title.find("; ", at);
        end = end == std::string::npos ? title.size() : end + 2;
        if (lines.back().size() + (end - at) > 110 && !lines.back().empty()) lines.emplace_back();
        lines.back() += title.substr(at, end - at);
        at = end;
    }
    const int top = 16 * (int)lines.size();
    // Under the panels, the legend: a row per four modes.
    const int width = 2 * PanelWidth, height = top + (int)sizes.size() * PanelHeight + 40 +
                                               18 * (int)((r.modes.size() + 3) / 4);
    Svg svg;
    svg.Add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
            "width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" font-family=\"sans-serif\">\n"
            "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
            width, height, width, height);
    for (size_t i = 0; i < lines.size(); i++)
        svg.Add("<text x=\"12\" y=\"%d\" font-size=\"13\">%s</text>\n", 20 + 16 * (int)i,
                Escape(lines[i]).c_str());
    LogAxis tri{1e9, -1e9}, ms{1e9, -1e9}, per{1e9, -1e9};
    for (const SweepRow &row : r.rows) {
        const double t = r.models[row.model].triangles;
        tri.Cover(t);
        for (const SweepCell &c : row.cells[0])
            if (c.have) ms.Cover(c.medianNs / 1e6), per.Cover(c.medianNs / t);
    }
    if (r.rows.empty() || ms.lo > ms.hi) return svg.text + "</svg>\n";
    if (tri.hi <= tri.lo) tri.hi = tri.lo + 1;
    if (ms.hi <= ms.lo) ms.hi = ms.lo + 1;
    if (per.hi <= per.lo) per.hi = per.lo + 1;
    auto colourOf = [&](size_t m) { return ModeColour(r, m); };
    for (size_t s = 0; s < sizes.size(); s++) {
        char frame[32];
        std::snprintf(frame, sizeof frame, "%dx%d", (int)sizes[s].width, (int)sizes[s].height);
        for (int panel = 0; panel < 2; panel++) {
            const int x0 = panel * PanelWidth, y0 = top + 14 + (int)s * PanelHeight;
            const LogAxis &y = panel ? per : ms;
            const std::string heading =
                std::string(panel ? "time per triangle" : "time per frame") + " at " + frame;
            DrawPanelAxes(svg, x0, y0, tri, y, heading.c_str(), "triangles",
                          panel ? "ns per triangle (median)" : "ms per frame (median)");
            for (size_t m = 0; m < r.modes.size(); m++) {
                std::vector<std::pair<double, double>> points;
                for (const SweepRow &row : r.rows) {
                    const SweepCell &c = row.cells[0][m];
                    if (!c.have || row.size.width != sizes[s].width ||
                        row.size.height != sizes[s].height)
                        continue;
                    const double t = r.models[row.model].triangles;
                    const double v = panel ? c.medianNs / t : c.medianNs / 1e6;
                    points.push_back({tri.At(t, x0 + Margin, x0 + PanelWidth - 12),
                                      y.At(v, y0 + PanelHeight - 40, y0 + 28)});
                }
                Polyline(svg, points, colourOf(m), r.modes[m].kind == SweepKind::Llvmpipe);
            }
        }
    }
    int lx = 12, ly = top + (int)sizes.size() * PanelHeight + 34;
    ModeLegend(svg, r, lx, ly, 160, width);
    return svg.text + "</svg>\n";
}
