#include "port_bench.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "counted_uart.h"
#include "operation_families.h"
#include "program_run.h"
#include "selftest_verdict.h"
#include "virtual_uart.h"

namespace bench {

namespace {

void require_ok(int status, const FamilyInfo &family)
{
    if (status == TESTER_OK) return;
    throw std::runtime_error(std::string(family.operation) +
                             " failed on the virtual UART with status " + std::to_string(status));
}

// A traffic log in a file of its own, removed again on every way out.
class LogFile {
  public:
    LogFile()
    {
        char name[] = "/tmp/tester-bench-port-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0) throw std::runtime_error("cannot make a file for the traffic log");
        ::close(fd);
        path_ = name;
    }
    ~LogFile() { ::unlink(path_.c_str()); }
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    const std::string &path() const { return path_; }

  private:
    std::string path_;
};

// Each byte is a line "   12.345 ms  host->box  88  Set_SI"; the time is the
// UART's clock when the byte had crossed the line.
PortSelftestResult selftest_from_log(const std::string &log_path)
{
    std::ifstream log(log_path);
    PortSelftestResult run{};
    for (std::string entry; std::getline(log, entry);) {
        const bool from_box = entry.find("box->host") != std::string::npos;
        if (!from_box && entry.find("host->box") == std::string::npos) continue;
        run.line.add(from_box);
        run.time_us = std::max(run.time_us, std::strtod(entry.c_str(), nullptr) * 1000);
    }
    return run;
}

}  // namespace

std::vector<PortFamilyResult> bench_port_families(const BenchOptions &options)
{
    tester_sim::sim_options box;
    box.box.turnaround_us = options.turnaround_us;
    CountedUart uart(box);
    Init_COM(tester_sim::virtual_uart_base);
    std::vector<PortFamilyResult> results;
    for (const FamilyInfo &family : kFamilies) {
        require_ok(call_family(family.family, tester_sim::virtual_uart_base, 0), family);
        std::vector<double> reads;
        std::vector<double> accesses;
        for (unsigned n = 0; n < options.iterations; ++n) {
            const RegisterCounts before = uart.counts();
            require_ok(call_family(family.family, tester_sim::virtual_uart_base, n), family);
            const RegisterCounts after = uart.counts();
            reads.push_back(static_cast<double>(after.reads - before.reads));
            accesses.push_back(
                static_cast<double>(after.reads + after.writes - before.reads - before.writes));
        }
        results.push_back({family, spread_of(std::move(reads)), spread_of(std::move(accesses))});
    }
    return results;
}

PortSelftestResult bench_port_selftest(const BenchOptions &options, const std::string &program,
                                       const std::string &sim_library_dir)
{
    const LogFile log;
    const char *search_path = std::getenv("LD_LIBRARY_PATH");
    const std::string library_path =
        sim_library_dir + (search_path != nullptr ? std::string(":") + search_path : "");
    const std::string box_options =
        "--turnaround " + std::to_string(options.turnaround_us) + " --log " + log.path();
    const ProgramRun run = run_program(
        program, {{"LD_LIBRARY_PATH", library_path}, {"TESTER_SIM_OPTIONS", box_options}});
    require_passed(program, run.wait_status, run.output, "[success] end");
    return selftest_from_log(log.path());
}

}  // namespace bench
