// DorvaneDLL against the virtual 16550, measured in register accesses (1 us of
// the UART's time each).
#pragma once

#include <string>
#include <vector>

#include "bench_options.h"
#include "bench_results.h"

namespace bench {

// Every family in turn on one UART. Throws std::runtime_error when a call fails.
std::vector<PortFamilyResult> bench_port_families(const BenchOptions &options);

// The self-test program `program` (selftest_port) on the simulation backend of
// the port primitives (lib/sim), its time read from the traffic log. Throws when
// it cannot run or does not pass.
PortSelftestResult bench_port_selftest(const BenchOptions &options, const std::string &program,
                                       const std::string &sim_library_dir);

}  // namespace bench
