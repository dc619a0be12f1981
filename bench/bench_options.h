// The command line of tester-bench.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bench {

struct BenchOptions {
    unsigned iterations = 1000;        // calls per family
    std::uint32_t turnaround_us = 50;  // the simulated box's turnaround
    bool help = false;
};

extern const char *const kUsage;

// Nullopt with a one-line message in `error` when the words are not understood.
std::optional<BenchOptions> parse_bench_options(int argc, char **argv, std::string &error);

}  // namespace bench
