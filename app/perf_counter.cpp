#include "app/perf_counter.h"

#include <windows.h>

static int64_t SystemFrequency() {
    LARGE_INTEGER f;
    f.QuadPart = 0;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

static int64_t SystemReading() {
    LARGE_INTEGER r;
    r.QuadPart = 0;
    QueryPerformanceCounter(&r);
    return r.QuadPart;
}

PerformanceCounter Counter = {SystemFrequency, SystemReading};
