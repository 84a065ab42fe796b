#include <time.h>
#include <windows.h>

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER *frequency) {
    frequency->QuadPart = 1000000000;
    return 1;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER *count) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    count->QuadPart = (LONGLONG)now.tv_sec * 1000000000 + now.tv_nsec;
    return 1;
}
