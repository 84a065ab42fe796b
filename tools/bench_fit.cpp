#include "tools/bench_fit.h"

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
