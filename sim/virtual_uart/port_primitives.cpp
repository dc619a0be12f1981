// The simulation backend of the port primitives: one virtual 16550 at 0x3F8 for
// the whole process, set up on first use from TESTER_SIM_OPTIONS (the words of
// the tester-sim command line), since the program it serves has no command line
// for them.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "options.h"
#include "tester_port.h"
#include "virtual_uart.h"

namespace {

using tester_sim::virtual_uart;

// A simulation that cannot be set up as asked must not pass for a healthy box.
[[noreturn]] void give_up(const std::string &why)
{
    std::fprintf(stderr, "virtual UART: %s\n", why.c_str());
    std::exit(2);
}

std::FILE *open_log(const std::string &target)
{
    if (target.empty()) return nullptr;
    if (target == "-") return stderr;
    std::FILE *log = std::fopen(target.c_str(), "w");
    if (log == nullptr) {
        give_up("cannot open the traffic log " + target + ": " + std::strerror(errno));
    }
    return log;
}

virtual_uart make_uart()
{
    const char *words = std::getenv(tester_sim::options_variable);
    std::string error;
    const auto options = tester_sim::parse_options(words == nullptr ? "" : words, error);
    if (!options) give_up(std::string(tester_sim::options_variable) + ": " + error);
    return virtual_uart(tester_sim::virtual_uart_base, *options, open_log(options->log_target));
}

virtual_uart &uart()
{
    static virtual_uart instance = make_uart();
    return instance;
}

}  // namespace

unsigned char tester_port_in(unsigned short port) { return uart().in(port); }

void tester_port_out(unsigned short port, unsigned char value) { uart().out(port, value); }

// A virtual device needs no permission.
int tester_port_grant(unsigned short, unsigned short) { return 0; }
