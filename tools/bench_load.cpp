#include "tools/bench_load.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

LoadReading ReadLoad() {
    LoadReading r;
#ifdef __linux__
    FILE *stat = std::fopen("/proc/stat", "r");
    if (!stat) return r;
    uint64_t user, nice, system, idle, iowait, irq, softirq, steal;
    const int got = std::fscanf(stat,
                                "cpu %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64
                                " %" SCNu64 " %" SCNu64 " %" SCNu64,
                                &user, &nice, &system, &idle, &iowait, &irq, &softirq, &steal);
    std::fclose(stat);
    if (got != 8) return r;
    // Fields 14-17 of /proc/self/stat, after the parenthesised name: user and
    // system time, then that of the children waited for.
    FILE *self = std::fopen("/proc/self/stat", "r");
    if (!self) return r;
    char line[1024];
    const bool read = std::fgets(line, sizeof line, self) != nullptr;
    std::fclose(self);
    const char *after = read ? std::strrchr(line, ')') : nullptr;
    uint64_t utime, stime, cutime, cstime;
    if (!after || std::sscanf(after + 1,
                              " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %" SCNu64 " %" SCNu64
                              " %" SCNu64 " %" SCNu64,
                              &utime, &stime, &cutime, &cstime) != 4)
        return r;
    r.busy = user + nice + system + irq + softirq + steal;
    r.total = r.busy + idle + iowait;
    r.own = utime + stime + cutime + cstime;
    r.known = true;
#endif
    return r;
}

double OthersShare(const LoadReading &from, const LoadReading &to) {
    if (!from.known || !to.known || to.total <= from.total) return -1;
    const double busy = (double)(to.busy - from.busy), own = (double)(to.own - from.own);
    const double others = busy > own ? busy - own : 0;
    return others / (double)(to.total - from.total);
}

bool ResetPeakResident() {
#ifdef __linux__
    FILE *refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs) return false;
    const bool written = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && written;
#else
    return false;
#endif
}

double PeakResidentBytes() {
#ifdef __linux__
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    double kib = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %lf kB", &kib) == 1) break;
    std::fclose(status);
    return kib < 0 ? -1 : kib * 1024;
#else
    return -1;
#endif
}
