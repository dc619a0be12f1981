#include "uart_exchange.h"

#include "tester_port.h"
#include "tester_status.h"
#include "uart_16550.h"

namespace uart_exchange {

unsigned short uart_register(unsigned short port_base, unsigned short offset)
{
    return static_cast<unsigned short>(port_base + offset);
}

bool poll_line_status(unsigned short port_base, unsigned char bit)
{
    // A bit that first shows on the read after the budget ran out still fails:
    // the budget, not the bit, decides.
    int budget = poll_budget;
    while ((tester_port_in(uart_register(port_base, UART_LSR)) & bit) == 0 && budget > 0) {
        --budget;
    }
    return budget != 0;
}

void transmit(unsigned short port_base, unsigned char byte)
{
    tester_port_out(uart_register(port_base, UART_TX), byte);
}

int command_phase(unsigned short port_base, unsigned char command)
{
    transmit(port_base, command);
    if (!poll_line_status(port_base, UART_LSR_DR)) return TESTER_E_TIMEOUT;
    return tester_port_in(uart_register(port_base, UART_RX)) == command ? TESTER_OK : TESTER_E_ECHO;
}

int parameter_phase(unsigned short port_base, unsigned char byte)
{
    transmit(port_base, byte);
    return poll_line_status(port_base, UART_LSR_THRE) ? TESTER_OK : TESTER_E_NO_DATA;
}

int reply_phase(unsigned short port_base, unsigned char *byte)
{
    if (!poll_line_status(port_base, UART_LSR_DR)) return TESTER_E_NO_DATA;
    *byte = tester_port_in(uart_register(port_base, UART_RX));
    return TESTER_OK;
}

}  // namespace uart_exchange
