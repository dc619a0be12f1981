#include "virtual_link.h"

#include <cstdlib>

#include "options.h"
#include "tester_port.h"
#include "uart_16550.h"

namespace {

tester_sim::virtual_uart *plugged = nullptr;

// The primitives have no way to report a missing box; stop loudly.
tester_sim::virtual_uart &plugged_uart()
{
    if (plugged == nullptr) std::abort();
    return *plugged;
}

}  // namespace

unsigned char tester_port_in(unsigned short port) { return plugged_uart().in(port); }

void tester_port_out(unsigned short port, unsigned char value) { plugged_uart().out(port, value); }

VirtualLink::~VirtualLink() { plugged = nullptr; }

void VirtualLink::plug_in(const std::string &options, std::FILE *log)
{
    std::string error;
    const auto parsed = tester_sim::parse_options(options, error);
    ASSERT_TRUE(parsed) << error;
    uart_.emplace(base, *parsed, log);
    plugged = &*uart_;
}

int VirtualLink::reads_until(unsigned char bit, int limit)
{
    for (int reads = 1; reads <= limit; ++reads) {
        if ((tester_port_in(base + UART_LSR) & bit) != 0) return reads;
    }
    return 0;
}

void VirtualLink::idle(int reads)
{
    // LCR, not LSR: reading LSR would clear its error bits.
    for (int read = 0; read < reads; ++read) tester_port_in(base + UART_LCR);
}
