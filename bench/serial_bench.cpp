#include "serial_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "bare_exchange.h"
#include "operation_families.h"
#include "program_run.h"
#include "pty_server.h"
#include "selftest_verdict.h"
#include "thread_cpu.h"
#include "win32_comm.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double us_between(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

tester_sim::serve_setup box_setup(const BenchOptions &options, bool keep_traffic)
{
    tester_sim::serve_setup setup;
    setup.options.box.turnaround_us = options.turnaround_us;
    setup.keep_traffic = keep_traffic;
    return setup;
}

// COM1 on the simulator's line, closed again on every way out.
class OpenPort {
  public:
    explicit OpenPort(const std::string &device)
    {
        ::setenv("COM1", device.c_str(), 1);
        handle_ = Init_COM(static_cast<char>(1));
        ::unsetenv("COM1");
        // Windows hands out small positive handles; null and -1 are failures.
        if (static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle_)) <= 0) {
            throw std::runtime_error("Init_COM(1) cannot open " + device);
        }
    }
    ~OpenPort() { CloseHandle(handle_); }
    OpenPort(const OpenPort &) = delete;
    OpenPort &operator=(const OpenPort &) = delete;

    void *handle() const { return handle_; }

  private:
    void *handle_ = nullptr;
};

void require_ok(int status, const FamilyInfo &family)
{
    if (status == TESTER_OK) return;
    throw std::runtime_error(std::string(family.operation) + " failed with status " +
                             std::to_string(status));
}

std::vector<SerialFamilyResult> time_families(const BenchOptions &options,
                                              const std::string &device, double &cpu_share)
{
    const OpenPort port(device);
    std::vector<SerialFamilyResult> results;
    double all_cpu_us = 0;
    double all_wall_us = 0;
    for (const FamilyInfo &family : kFamilies) {
        // One call first, so that no first-use cost lands in the figures.
        require_ok(call_family(family.family, port.handle(), 0), family);
        std::vector<double> calls;
        calls.reserve(options.iterations);
        const double cpu_before = thread_cpu_us();
        const Clock::time_point start = Clock::now();
        Clock::time_point call_start = start;
        for (unsigned n = 0; n < options.iterations; ++n) {
            require_ok(call_family(family.family, port.handle(), n), family);
            const Clock::time_point call_end = Clock::now();
            calls.push_back(us_between(call_start, call_end));
            call_start = call_end;
        }
        const double wall_us = us_between(start, call_start);
        const double cpu_us = thread_cpu_us() - cpu_before;
        all_cpu_us += cpu_us;
        all_wall_us += wall_us;
        results.push_back({family, spread_of(std::move(calls)), cpu_us / options.iterations,
                           cpu_us / wall_us, 0});
    }
    cpu_share = all_cpu_us / all_wall_us;
    return results;
}

}  // namespace

std::vector<SerialFamilyResult> bench_serial_families(const BenchOptions &options,
                                                      SerialCpuShares &shares)
{
    tester_sim::pty_server box(box_setup(options, false));
    std::vector<SerialFamilyResult> results =
        time_families(options, box.device_path(), shares.driver);
    // The same box once the driver let go of the line.
    const std::vector<BareFigures> bare =
        bench_bare_exchanges(box.device_path(), options.iterations);
    double bare_cpu_us = 0;
    double bare_wall_us = 0;
    for (std::size_t n = 0; n < results.size(); ++n) {
        results[n].bare_cpu_us = bare[n].cpu_us;
        bare_cpu_us += bare[n].cpu_us;
        bare_wall_us += bare[n].wall_us;
    }
    shares.bare = bare_cpu_us / bare_wall_us;
    return results;
}

SerialSelftestResult bench_serial_selftest(const BenchOptions &options, const std::string &program)
{
    std::vector<SerialSelftestResult> runs;
    for (int run_number = 0; run_number < kSelftestRuns; ++run_number) {
        // A fresh box each time: a run starts from a box just switched on.
        tester_sim::pty_server box(box_setup(options, true));
        const ProgramRun run = run_program(program, {{"COM1", box.device_path()}});
        require_passed(program, run.wait_status, run.output, "[success] CloseHandle");
        LineTally line;
        for (const tester_sim::traffic_entry &entry : box.traffic()) {
            line.add(entry.dir == tester_sim::direction::box_to_host);
        }
        runs.push_back({run.wall_us, run.cpu_us, line});
    }
    std::sort(runs.begin(), runs.end(),
              [](const SerialSelftestResult &a, const SerialSelftestResult &b) {
                  return a.wall_us < b.wall_us;
              });
    return runs[runs.size() / 2];
}

}  // namespace bench
