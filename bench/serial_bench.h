// Velmora_DLL_W2K against the box simulator on a pseudo-terminal, served from a
// thread of this process and paced at the line rate.
#pragma once

#include <string>
#include <vector>

#include "bench_options.h"
#include "bench_results.h"

namespace bench {

// Every family in turn on one open port, then the same exchanges done bare on
// that line. Throws std::runtime_error when the port cannot be opened or a call fails.
std::vector<SerialFamilyResult> bench_serial_families(const BenchOptions &options,
                                                      SerialCpuShares &shares);

// The self-test program `program` (selftest_w2k) with COM1 on the simulator and
// its boxes closed at end of input, run kSelftestRuns times: the run of median
// wall time, so that one run slowed by a busy machine does not decide. Throws
// when it cannot run or does not pass.
constexpr int kSelftestRuns = 3;
SerialSelftestResult bench_serial_selftest(const BenchOptions &options, const std::string &program);

}  // namespace bench
