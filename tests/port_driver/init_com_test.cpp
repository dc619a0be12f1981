#include <string>
#include <vector>

#include "port_api.h"
#include "scripted_link.h"

using InitCom = ScriptedLink;

// Divisor 1 in both bytes, 8N1, no interrupts, FIFOs on and cleared, one stale
// byte taken away; the modem control register is left alone.
TEST_F(InitCom, ProgramsTheUartInThisOrderAndNothingElse)
{
    uart.arrive(0x5A);
    Init_COM(base);
    const std::vector<std::string> expected = {"LCR 80", "DLL 01", "DLM 00", "LCR 03",
                                               "IER 00", "FCR C7", "RX"};
    EXPECT_EQ(uart.trace(), expected);
    EXPECT_TRUE(uart.transmitted().empty());
    EXPECT_EQ(uart.unread(), 0u);
}
