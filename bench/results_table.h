// The table of one run, with each figure set against its target.
#pragma once

#include <cstdio>

#include "bench_options.h"
#include "bench_results.h"

namespace bench {

// Targets: a family's median within 1.2 times its line time plus the box's
// turnaround; a whole self-test within 1.1 times its line time plus the box's
// turnarounds; the serial driver's CPU within 5 % of the wall time outside
// Tester_Reset's settle wait.
constexpr double kFamilyFactor = 1.2;
constexpr double kSelftestFactor = 1.1;
constexpr double kCpuShare = 0.05;

void print_results(std::FILE *out, const BenchOptions &options, const BenchResults &results);

}  // namespace bench
