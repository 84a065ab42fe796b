// Whether other processes took a share of the processors while the benchmark
// measured: the system's busy time from /proc/stat less this process's own
// and its children's (the counting pass, llvmpipe's processes), over all the
// processors' time. Where there is no /proc/stat nothing is known and nothing
// is said.
#pragma once
#include <cstdint>

// Above this share of all processors' time taken by others, the figures are
// worth a warning: 5 % is a tenth of one core of a two-core machine.
constexpr double MeasurableOthersShare = 0.05;

struct LoadReading {
    bool known = false;
    uint64_t busy = 0, total = 0, own = 0; // clock ticks (USER_HZ)
};

LoadReading ReadLoad();

// Others' share of all processors' time between two readings, or a negative
// number when it is not known.
double OthersShare(const LoadReading &from, const LoadReading &to);

// The peak resident set of this process from now on (Linux: its high-water
// mark reset through /proc/self/clear_refs), so a model's drawing is read
// without its loading; false where the system cannot reset it.
bool ResetPeakResident();
// The high-water mark since (VmHWM), in bytes; negative where not known.
double PeakResidentBytes();
