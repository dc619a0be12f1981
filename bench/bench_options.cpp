#include "bench_options.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace bench {

const char *const kUsage = R"(Usage: tester-bench [--iterations N] [--turnaround US]

Times both drivers against the simulated tester box at 115200 bit/s, 8N1:
Velmora_DLL_W2K over a pseudo-terminal paced at the line rate, DorvaneDLL on the
virtual 16550 (1 us per register access). For each operation family it prints the
median and 99th percentile per call and their ratio to the family's line time, then
the whole self-test (selftest_w2k and selftest_port beside this program) against
its line time, and the CPU share of the serial driver.

  --iterations N   calls per family, 1 to 1000000 (default 1000)
  --turnaround US  the box's turnaround before echo and reply, 0 to 100000 (default 50)
  --help           show this text

Exit status: 0 when every call and both self-tests passed, 1 when one failed,
2 for a bad option.
)";

namespace {

bool parse_number(const std::string &text, unsigned long low, unsigned long high,
                  unsigned long &value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    value = std::strtoul(text.c_str(), nullptr, 10);
    return errno == 0 && value >= low && value <= high;
}

}  // namespace

std::optional<BenchOptions> parse_bench_options(int argc, char **argv, std::string &error)
{
    BenchOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--help") {
            options.help = true;
            continue;
        }
        if (word != "--iterations" && word != "--turnaround") {
            error = "unknown option " + std::string(word);
            return std::nullopt;
        }
        if (i + 1 == argc) {
            error = "option " + std::string(word) + " needs a value";
            return std::nullopt;
        }
        const std::string value = argv[++i];
        unsigned long number = 0;
        if (word == "--iterations") {
            if (!parse_number(value, 1, 1'000'000, number)) {
                error = "--iterations takes 1 to 1000000, not " + value;
                return std::nullopt;
            }
            options.iterations = static_cast<unsigned>(number);
        } else {
            if (!parse_number(value, 0, 100'000, number)) {
                error = "--turnaround takes 0 to 100000 microseconds, not " + value;
                return std::nullopt;
            }
            options.turnaround_us = static_cast<std::uint32_t>(number);
        }
    }
    return options;
}

}  // namespace bench
