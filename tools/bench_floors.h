// The clear's floors: what it costs this machine merely to write both
// 786,432-byte buffers, once with 16-byte streaming stores and once with
// memset, timed in the same run as the views so ratios between them hold.
#pragma once
#include <cstdint>
#include <vector>

// In the samples' own unit: nanoseconds or counter ticks, as the caller says.
struct Timing {
    double min, p25, median;
};

// min / p25 / median of samples (sorts a copy).
Timing Summarise(std::vector<double> samples);

// Each runs warm-up rounds, then `rounds` timed ones over the render
// target's own buffers, in nanoseconds.
Timing TimeStreamFloor(int rounds);
Timing TimeMemsetFloor(int rounds);
Timing TimeClearRenderTarget(int rounds);
