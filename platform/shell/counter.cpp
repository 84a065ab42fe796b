// The frame cycle's counter is the system's high-resolution performance
// counter (on Linux, the SDL layer's monotonic clock behind the same names).
#include <windows.h>

#include "app/platform.h"

int64_t CounterFrequency() {
    LARGE_INTEGER f;
    f.QuadPart = 0;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

int64_t CounterReading() {
    LARGE_INTEGER r;
    r.QuadPart = 0;
    QueryPerformanceCounter(&r);
    return r.QuadPart;
}
