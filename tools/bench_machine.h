// What a shared benchmark result says about where it was measured: the
// processor, the compiler, the operating system and when.
#pragma once
#include <string>

struct BenchMachine {
    std::string processor;     // "Intel(R) Xeon(R) ...", or "unknown"
    std::string family, model; // /proc/cpuinfo's, "unknown" elsewhere
    std::string compiler;      // "gcc 12.2.0"
    std::string os;            // "Linux 6.1.0-18-amd64 x86_64"
    std::string date;          // "2026-12-07T21:30:00Z", when the run ended
};

BenchMachine DescribeMachine();
