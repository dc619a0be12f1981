#include "counted_uart.h"

#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "tester_port.h"
#include "virtual_uart.h"

namespace {

std::optional<tester_sim::virtual_uart> plugged;
bench::RegisterCounts counted;

// The primitives cannot report a missing UART; stop loudly rather than guess.
tester_sim::virtual_uart &plugged_uart()
{
    if (!plugged) std::abort();
    return *plugged;
}

}  // namespace

unsigned char tester_port_in(unsigned short port)
{
    ++counted.reads;
    return plugged_uart().in(port);
}

void tester_port_out(unsigned short port, unsigned char value)
{
    ++counted.writes;
    plugged_uart().out(port, value);
}

namespace bench {

CountedUart::CountedUart(const tester_sim::sim_options &options)
{
    if (plugged) throw std::logic_error("one counted UART at a time");
    plugged.emplace(tester_sim::virtual_uart_base, options);
    counted = {};
}

CountedUart::~CountedUart() { plugged.reset(); }

RegisterCounts CountedUart::counts() const { return counted; }

}  // namespace bench
