#include "tools/bench_fit.h"

#include <cmath>
#include <utility>

LineFit FitNonNegativeFixed(const std::vector<FitPoint> &points) {
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const FitPoint &p : points)
        n++, sx += p.work, sy += p.time, sxx += p.work * p.work, sxy += p.work * p.time;
    LineFit fit;
    const double d = n * sxx - sx * sx;
    if (n < 2 || !(d > 0)) return fit;
    fit.have = true;
    fit.perUnit = (n * sxy - sx * sy) / d;
    fit.fixed = fit.freeFixed = (sy - fit.perUnit * sx) / n;
    // The squared error is convex, so with the free optimum outside fixed >= 0
    // the constrained one lies on its edge: the line through the origin.
    if (fit.fixed < 0) {
        fit.heldAtZero = true;
        fit.fixed = 0;
        fit.perUnit = sxy / sxx;
    }
    const double mean = sy / n;
    double total = 0, left = 0;
    for (const FitPoint &p : points) {
        const double e = p.time - (fit.fixed + fit.perUnit * p.work);
        total += (p.time - mean) * (p.time - mean), left += e * e;
    }
    fit.r2 = total > 0 ? 1 - left / total : 1;
    return fit;
}

// Least squares over the given columns (each a function of the point):
// false when the normal equations are singular (too few distinct points).
static bool SolveLeastSquares(const std::vector<CostPoint> &points,
                              const std::vector<double (*)(const CostPoint &)> &columns,
                              std::vector<double> &solution) {
    const size_t k = columns.size();
    if (points.size() < k || k == 0) return false;
    // Normal equations A^T A x = A^T t, k at most 3, by Gaussian elimination
    // with partial pivoting.
    std::vector<std::vector<double>> m(k, std::vector<double>(k + 1, 0.0));
    for (const CostPoint &p : points)
        for (size_t a = 0; a < k; a++) {
            for (size_t b = 0; b < k; b++) m[a][b] += columns[a](p) * columns[b](p);
            m[a][k] += columns[a](p) * p.time;
        }
    for (size_t c = 0; c < k; c++) {
        size_t pivot = c;
        for (size_t r = c + 1; r < k; r++)
            if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
        std::swap(m[c], m[pivot]);
        double scale = 0;
        for (size_t b = 0; b < k; b++) scale = std::fmax(scale, std::fabs(m[c][b]));
        if (!(std::fabs(m[c][c]) > 1e-12 * scale)) return false;
        for (size_t r = 0; r < k; r++) {
            if (r == c) continue;
            const double f = m[r][c] / m[c][c];
            for (size_t b = c; b <= k; b++) m[r][b] -= f * m[c][b];
        }
    }
    solution.resize(k);
    for (size_t c = 0; c < k; c++) solution[c] = m[c][k] / m[c][c];
    return true;
}

CostFit FitCost(const std::vector<CostPoint> &points) {
    CostFit fit;
    for (const CostPoint &p : points) {
        fit.byTriangles = fit.byTriangles || p.triangles != points[0].triangles;
        fit.byPixels = fit.byPixels || p.pixels != points[0].pixels;
    }
    if (!fit.byTriangles && !fit.byPixels) return fit;
    std::vector<double (*)(const CostPoint &)> terms;
    if (fit.byTriangles) terms.push_back([](const CostPoint &p) { return p.triangles; });
    if (fit.byPixels) terms.push_back([](const CostPoint &p) { return p.pixels; });
    std::vector<double (*)(const CostPoint &)> columns = {[](const CostPoint &) { return 1.0; }};
    columns.insert(columns.end(), terms.begin(), terms.end());
    std::vector<double> x;
    if (!SolveLeastSquares(points, columns, x)) return fit;
    fit.fixed = fit.freeFixed = x[0];
    // Convex again: with the free optimum's fixed part below zero the
    // constrained one has it at zero, the rest fitted through the origin.
    if (fit.fixed < 0) {
        std::vector<double> through;
        if (!SolveLeastSquares(points, terms, through)) return fit;
        fit.heldAtZero = true, fit.fixed = 0;
        x = {0.0};
        x.insert(x.end(), through.begin(), through.end());
    }
    fit.have = true;
    size_t at = 1;
    if (fit.byTriangles) fit.perTriangle = x[at++];
    if (fit.byPixels) fit.perPixel = x[at++];
    double mean = 0;
    for (const CostPoint &p : points) mean += p.time / (double)points.size();
    double total = 0, left = 0;
    for (const CostPoint &p : points) {
        const double e =
            p.time - (fit.fixed + fit.perTriangle * p.triangles + fit.perPixel * p.pixels);
        total += (p.time - mean) * (p.time - mean), left += e * e;
    }
    fit.r2 = total > 0 ? 1 - left / total : 1;
    return fit;
}
