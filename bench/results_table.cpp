#include "results_table.h"

#include <algorithm>

#include "line_time.h"
#include "serial_bench.h"

namespace bench {

namespace {

const char *verdict(bool met) { return met ? "ok" : "MISSED"; }

// The box's own time, which no driver can take back.
double turnaround_time_us(const LineTally &line, const BenchOptions &options)
{
    return static_cast<double>(line.turnarounds()) * options.turnaround_us;
}

double family_target_us(const FamilyInfo &family, const BenchOptions &options)
{
    return kFamilyFactor * line_time_us(family.line_bytes) + options.turnaround_us;
}

void print_serial(std::FILE *out, const BenchOptions &options, const BenchResults &results)
{
    std::fprintf(out, "Velmora_DLL_W2K over a pseudo-terminal, box paced at the line rate\n");
    std::fprintf(out, "%-19s %-16s %5s %9s %9s %9s %7s %7s %9s %-6s %6s %9s %9s\n", "family",
                 "operation", "bytes", "line min", "median", "p99", "med/min", "p99/min", "target",
                 "", "CPU", "CPU/call", "bare/call");
    for (const SerialFamilyResult &row : results.serial) {
        const double minimum = line_time_us(row.info.line_bytes);
        const double target = family_target_us(row.info, options);
        std::fprintf(out,
                     "%-19s %-16s %5d %6.3f ms %6.3f ms %6.3f ms %7.2f %7.2f %6.3f ms %-6s %5.1f%% "
                     "%6.1f us %6.1f us\n",
                     row.info.name, row.info.operation, row.info.line_bytes, minimum / 1000,
                     row.call_us.median / 1000, row.call_us.p99 / 1000,
                     row.call_us.median / minimum, row.call_us.p99 / minimum, target / 1000,
                     verdict(row.call_us.median <= target), row.cpu_share * 100, row.cpu_us,
                     row.bare_cpu_us);
    }
    std::fprintf(
        out,
        "CPU of the calling thread over all families: %.1f %% of wall time (target %.0f %%) %s\n",
        results.serial_cpu.driver * 100, kCpuShare * 100,
        verdict(results.serial_cpu.driver <= kCpuShare));
    std::fprintf(out,
                 "  the same exchanges done bare (write, poll and read, a wake-up for every byte "
                 "the box sends): %.1f %%\n",
                 results.serial_cpu.bare * 100);

    const SerialSelftestResult &run = results.serial_selftest;
    const double minimum = line_time_us(static_cast<double>(run.line.bytes())) + kSettleUs;
    std::fprintf(out,
                 "self-test selftest_w2k, median of %d runs: %.3f s; line minimum %.3f s (%zu "
                 "bytes + 25 ms settle), "
                 "ratio %.2f\n",
                 kSelftestRuns, run.wall_us / 1e6, minimum / 1e6, run.line.bytes(),
                 run.wall_us / minimum);
    const double turnarounds_us = turnaround_time_us(run.line, options);
    const double target = kSelftestFactor * minimum + turnarounds_us;
    std::fprintf(out,
                 "  box turnarounds %zu x %u us = %.3f s; target %.2f x line minimum + "
                 "turnarounds = %.3f s %s\n",
                 run.line.turnarounds(), options.turnaround_us, turnarounds_us / 1e6,
                 kSelftestFactor, target / 1e6, verdict(run.wall_us <= target));
    // The settle wait spins on the tick count by design: it is left out of both.
    const double cpu_share =
        std::max(0.0, run.cpu_us - kSettleUs) / std::max(1.0, run.wall_us - kSettleUs);
    std::fprintf(out,
                 "  CPU of selftest_w2k: %.1f ms, %.1f %% of its time outside the settle wait "
                 "(target %.0f %%) %s\n",
                 run.cpu_us / 1000, cpu_share * 100, kCpuShare * 100,
                 verdict(cpu_share <= kCpuShare));
}

void print_port(std::FILE *out, const BenchOptions &options, const BenchResults &results)
{
    std::fprintf(out, "DorvaneDLL on the virtual 16550, 1 us of UART time a register access\n");
    std::fprintf(out, "%-19s %-16s %5s %9s %8s %8s %8s %8s %7s %8s\n", "family", "operation",
                 "bytes", "line min", "reads", "reads", "time", "time", "med/min", "target");
    std::fprintf(out, "%-19s %-16s %5s %9s %8s %8s %8s %8s\n", "", "", "", "", "median", "p99",
                 "median", "p99");
    for (const PortFamilyResult &row : results.port) {
        const double minimum = line_time_us(row.info.line_bytes);
        const double target = family_target_us(row.info, options);
        std::fprintf(out,
                     "%-19s %-16s %5d %6.0f us %8.0f %8.0f %5.0f us %5.0f us %7.2f %5.0f us %s\n",
                     row.info.name, row.info.operation, row.info.line_bytes, minimum,
                     row.reads.median, row.reads.p99, row.time_us.median, row.time_us.p99,
                     row.time_us.median / minimum, target, verdict(row.time_us.median <= target));
    }
    // The settle wait spins on the tick count, not on the UART: no UART time passes.
    const PortSelftestResult &run = results.port_selftest;
    const double minimum = line_time_us(static_cast<double>(run.line.bytes()));
    std::fprintf(out,
                 "self-test selftest_port: %.1f ms of UART time; line minimum %.1f ms (%zu bytes), "
                 "ratio %.2f\n",
                 run.time_us / 1000, minimum / 1000, run.line.bytes(), run.time_us / minimum);
    const double turnarounds_us = turnaround_time_us(run.line, options);
    const double target = kSelftestFactor * minimum + turnarounds_us;
    std::fprintf(out,
                 "  box turnarounds %zu x %u us = %.1f ms; target %.2f x line minimum + "
                 "turnarounds = %.1f ms %s\n",
                 run.line.turnarounds(), options.turnaround_us, turnarounds_us / 1000,
                 kSelftestFactor, target / 1000, verdict(run.time_us <= target));
    std::fprintf(
        out,
        "  CPU: every wait polls the UART, so the driver keeps the processor busy by design\n");
}

}  // namespace

void print_results(std::FILE *out, const BenchOptions &options, const BenchResults &results)
{
    std::fprintf(out,
                 "tester-bench: %u calls a family, box turnaround %u us, 115200 bit/s 8N1 "
                 "(%.1f us a byte)\n\n",
                 options.iterations, options.turnaround_us, kByteTimeUs);
    print_serial(out, options, results);
    std::fprintf(out, "\n");
    print_port(out, options, results);
}

}  // namespace bench
