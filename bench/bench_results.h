// What one benchmark run measured.
#pragma once

#include <vector>

#include "line_tally.h"
#include "operation_families.h"
#include "sample_stats.h"

namespace bench {

struct SerialFamilyResult {
    FamilyInfo info;
    Spread call_us;      // wall time per call
    double cpu_us;       // CPU time of the calling thread per call
    double cpu_share;    // CPU time of the calling thread / wall time
    double bare_cpu_us;  // the same exchange with write(), poll() and read() alone, per call
};

// CPU time / wall time over all families.
struct SerialCpuShares {
    double driver = 0;
    double bare = 0;
};

struct SerialSelftestResult {
    double wall_us;  // from starting the program to its exit
    double cpu_us;   // user + system time of the program
    LineTally line;
};

struct PortFamilyResult {
    FamilyInfo info;
    Spread reads;    // LSR, RBR, ... reads per call
    Spread time_us;  // register accesses per call, 1 us each
};

struct PortSelftestResult {
    double time_us;  // the virtual UART's clock when the last byte was on the line
    LineTally line;
};

struct BenchResults {
    std::vector<SerialFamilyResult> serial;
    SerialCpuShares serial_cpu;
    SerialSelftestResult serial_selftest{};
    std::vector<PortFamilyResult> port;
    PortSelftestResult port_selftest{};
};

}  // namespace bench
