#include "tools/bench_stats.h"

#include <algorithm>
#include <cmath>

Timing Summarise(std::vector<double> s) {
    std::sort(s.begin(), s.end());
    // Nearest rank: the smallest sample with at least p of them at or below it.
    auto rank = [&](double p) {
        size_t k = (size_t)std::ceil(p * (double)s.size());
        return s[k == 0 ? 0 : k - 1];
    };
    return {s.front(), rank(0.25), rank(0.5)};
}

Figure Combine(const std::vector<Timing> &rounds) {
    std::vector<double> mins, p25s, medians;
    for (const Timing &t : rounds)
        mins.push_back(t.min), p25s.push_back(t.p25), medians.push_back(t.median);
    const Timing spread = Summarise(medians);
    const double max = *std::max_element(medians.begin(), medians.end());
    return {{Summarise(mins).min, Summarise(p25s).median, spread.median},
            {spread.min, spread.median, max}};
}
