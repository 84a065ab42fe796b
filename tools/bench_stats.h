// The benchmark's statistics: a run of frame times summed up as min / p25 /
// median, and several rounds of those combined into one figure with the
// spread of the rounds' medians.
#pragma once
#include <vector>

// In the samples' own unit: nanoseconds or counter ticks, as the caller says.
struct Timing {
    double min, p25, median;
};

// min / p25 / median of samples, nearest rank (for an even count the lower
// middle); sorts a copy. Needs at least one sample.
Timing Summarise(std::vector<double> samples);

// The least, middle and greatest of the rounds' medians: how far to trust
// the median of them.
struct Spread {
    double min, median, max;
};

// A figure over every round: the min of the rounds' mins, the median of their
// p25s and of their medians, and the spread of the medians.
struct Figure {
    Timing t;
    Spread spread;
};

// Needs at least one round.
Figure Combine(const std::vector<Timing> &rounds);
