// What both forms of the benchmark's output say in words: the headline to
// share, where to share it, and the warning when the machine was busy.
#pragma once
#include <string>

#include "tools/bench_machine.h"
#include "tools/bench_run.h"
#include "tools/bench_sweep.h"

// Where and how a run was measured, beside what it measured.
struct BenchSetting {
    BenchMachine machine;
    const char *fill;
    int threads;
    bool compareLlvmpipe;
};

double Fps(double ns);

// The one line to share: the start view's median frame on one thread and on
// all cores, llvmpipe's beside it, and what it ran on.
std::string RunHeadline(const BenchSetting &s, const BenchRun &run);
// The sweep's: the 1920 x 1080 start view (or the largest size swept) on all
// cores against llvmpipe's, and what it ran on.
std::string SweepHeadline(const SweepResult &r, const BenchSetting &s);

// The line after the headline: what to paste where.
std::string ShareLine();

// "warning: ..." when others took a measurable share of the processors while
// timing (share < 0: not known, nothing said); empty otherwise.
std::string LoadWarning(double othersShare);
// The same over a sweep, naming the sizes it concerns.
std::string SweepLoadWarning(const SweepResult &r);
