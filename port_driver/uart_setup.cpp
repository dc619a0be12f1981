// Init_COM: 115200 bit/s, 8N1, no interrupts, FIFOs on and emptied. Nothing is
// sent to the box and nothing can fail.
#include "port_api.h"
#include "tester_port.h"
#include "uart_16550.h"
#include "uart_exchange.h"

namespace {

constexpr unsigned char divisor_115200 = UART_BASE_BAUD / 115200;

// Both FIFOs on and emptied; the receive trigger level does not matter without interrupts.
constexpr unsigned char fifo_setup =
    UART_FCR_ENABLE_FIFO | UART_FCR_CLEAR_RCVR | UART_FCR_CLEAR_XMIT | UART_FCR_R_TRIG_11;

}  // namespace

void TESTER_CALL Init_COM(unsigned short port_base)
{
    using uart_exchange::uart_register;
    tester_port_out(uart_register(port_base, UART_LCR), UART_LCR_DLAB);
    tester_port_out(uart_register(port_base, UART_DLL), divisor_115200);
    // The high byte too: whatever it held before would otherwise set the rate.
    tester_port_out(uart_register(port_base, UART_DLM), 0x00);
    tester_port_out(uart_register(port_base, UART_LCR), UART_LCR_WLEN8);
    tester_port_out(uart_register(port_base, UART_IER), 0x00);
    tester_port_out(uart_register(port_base, UART_FCR), fifo_setup);
    // A byte left over from before would be taken as the next echo.
    tester_port_in(uart_register(port_base, UART_RX));
}
