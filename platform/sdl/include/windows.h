// The subset of the Win32 API that Scanvane uses, for builds outside Windows.
// Names, types and values follow the Windows headers so the same sources
// compile against either.
#pragma once
#include <stdint.h>

typedef int BOOL;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef int64_t LONGLONG;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER;

#define WINAPI

// A monotonic clock in nanoseconds: frequency 1,000,000,000.
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER *frequency);
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER *count);
