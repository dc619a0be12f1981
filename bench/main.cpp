// tester-bench: both drivers timed against the simulated tester box, set against
// the time their bytes take on the line.
#include <cstdio>
#include <exception>

#include "bench_options.h"
#include "port_bench.h"
#include "program_run.h"
#include "results_table.h"
#include "serial_bench.h"

int main(int argc, char **argv)
{
    std::string error;
    const std::optional<bench::BenchOptions> options =
        bench::parse_bench_options(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "tester-bench: %s\n%s", error.c_str(), bench::kUsage);
        return 2;
    }
    if (options->help) {
        std::fputs(bench::kUsage, stdout);
        return 0;
    }
    try {
        const std::string programs = bench::own_directory();
        bench::BenchResults results;
        results.serial = bench::bench_serial_families(*options, results.serial_cpu);
        results.serial_selftest =
            bench::bench_serial_selftest(*options, programs + "/selftest_w2k");
        results.port = bench::bench_port_families(*options);
        results.port_selftest = bench::bench_port_selftest(*options, programs + "/selftest_port",
                                                           programs + "/../lib/sim");
        bench::print_results(stdout, *options, results);
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "tester-bench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
