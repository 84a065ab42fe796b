// The benchmark's results as text for a person: the table of a run at one
// size, the sweep's tables, and the walk's frame times as CSV.
#pragma once
#include <string>

#include "tools/bench_report.h"

void PrintRunTable(const BenchSetting &s, const BenchRun &run);
void PrintSweepTable(const BenchSetting &s, const SweepResult &r);
void PrintModelSweepTable(const BenchSetting &s, const SweepResult &r);

// round,frame,ns: every frame of the walk, round by round.
std::string FramesCsv(const BenchRun &run);
