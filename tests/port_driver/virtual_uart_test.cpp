// The virtual 16550 at register level: its clock, its rate and frame settings as
// the box hears them, its FIFOs, and the traffic log.
#include <cstdio>
#include <string>
#include <vector>

#include "port_api.h"
#include "tester_commands.h"
#include "tester_port.h"
#include "uart_16550.h"
#include "virtual_link.h"

namespace {

void program_line(unsigned short base, unsigned char dll, unsigned char dlm, unsigned char lcr)
{
    tester_port_out(base + UART_LCR, UART_LCR_DLAB);
    tester_port_out(base + UART_DLL, dll);
    tester_port_out(base + UART_DLM, dlm);
    tester_port_out(base + UART_LCR, lcr);
}

using VirtualUart = VirtualLink;

// One read takes a microsecond and a byte at 115200 bit/s 87: the command goes
// out, the identification byte comes back.
TEST_F(VirtualUart, AnAnswerShowsAfterTwoByteTimesOfReads)
{
    plug_in("--turnaround 0");
    Init_COM(base);
    tester_port_out(base + UART_TX, tester_cmd::Get_ID);
    EXPECT_EQ(reads_until(UART_LSR_DR, 1000), 2 * 87);
    EXPECT_EQ(tester_port_in(base + UART_RX), tester_sim::box_id);
}

// THRE as soon as the byte moves on to the shift register; TEMT once it is out.
TEST_F(VirtualUart, TransmitterEmptiesInTwoSteps)
{
    plug_in("");
    Init_COM(base);
    tester_port_out(base + UART_TX, tester_cmd::SSI);
    const unsigned char right_after = tester_port_in(base + UART_LSR);
    EXPECT_EQ(right_after & (UART_LSR_THRE | UART_LSR_TEMT), UART_LSR_THRE);
    const int reads = reads_until(UART_LSR_TEMT, 1000);
    EXPECT_GE(reads, 80);
    EXPECT_LE(reads, 87);
}

struct LineSetting {
    const char *name;
    unsigned char dll;
    unsigned char dlm;
    unsigned char lcr;
    bool understood;
};

class VirtualUartLine : public VirtualLink, public ::testing::WithParamInterface<LineSetting> {};

// The box answers only a host that speaks 8N1 at its rate.
TEST_P(VirtualUartLine, BoxAnswersOnlyItsOwnSettings)
{
    const LineSetting &line = GetParam();
    plug_in("");
    program_line(base, line.dll, line.dlm, line.lcr);
    tester_port_out(base + UART_TX, tester_cmd::Get_ID);
    EXPECT_EQ(reads_until(UART_LSR_DR, 30001) != 0, line.understood);
}

INSTANTIATE_TEST_SUITE_P(Settings, VirtualUartLine,
                         ::testing::Values(LineSetting{"Divisor1_8N1", 0x01, 0x00, 0x03, true},
                                           LineSetting{"Divisor2", 0x02, 0x00, 0x03, false},
                                           LineSetting{"HighByteLeftOver", 0x01, 0x01, 0x03, false},
                                           LineSetting{"Divisor0", 0x00, 0x00, 0x03, false},
                                           LineSetting{"SevenDataBits", 0x01, 0x00, 0x02, false},
                                           LineSetting{"TwoStopBits", 0x01, 0x00, 0x07, false},
                                           LineSetting{"EvenParity", 0x01, 0x00, 0x1B, false},
                                           LineSetting{"SendingBreak", 0x01, 0x00, 0x43, false}),
                         NamedCase());

// A divisor high byte left from before would keep the box deaf.
TEST_F(VirtualUart, InitComClearsALeftOverDivisorHighByte)
{
    plug_in("");
    program_line(base, 0x01, 0x01, UART_LCR_WLEN8);
    Init_COM(base);
    unsigned char id = 0;
    EXPECT_EQ(Get_ID(base, &id), TESTER_OK);
    EXPECT_EQ(id, tester_sim::box_id);
}

// Without Init_COM the port runs at the 9600 bit/s the BIOS left.
TEST_F(VirtualUart, WithoutInitComTheBoxDoesNotHear)
{
    plug_in("");
    unsigned char id = 0;
    EXPECT_EQ(Get_ID(base, &id), TESTER_E_NO_DATA);
}

TEST_F(VirtualUart, FcrClearsTheReceiveFifo)
{
    plug_in("");
    Init_COM(base);
    tester_port_out(base + UART_TX, tester_cmd::Get_ID);
    ASSERT_NE(reads_until(UART_LSR_DR, 1000), 0);
    tester_port_out(base + UART_FCR, UART_FCR_ENABLE_FIFO | UART_FCR_CLEAR_RCVR);
    EXPECT_EQ(tester_port_in(base + UART_LSR) & UART_LSR_DR, 0);
}

TEST_F(VirtualUart, FcrClearsTheTransmitFifoButNotTheByteUnderWay)
{
    plug_in("");
    Init_COM(base);
    for (const unsigned char byte : {tester_cmd::SSI, tester_cmd::SSO, tester_cmd::SSI}) {
        tester_port_out(base + UART_TX, byte);
    }
    EXPECT_EQ(tester_port_in(base + UART_LSR) & UART_LSR_THRE, 0);
    tester_port_out(base + UART_FCR, UART_FCR_ENABLE_FIFO | UART_FCR_CLEAR_XMIT);
    EXPECT_NE(tester_port_in(base + UART_LSR) & UART_LSR_THRE, 0);
    // Only SSI, the byte in the shift register, reaches the box.
    idle(1000);
    EXPECT_EQ(uart().box().state().status, tester_sim::status_si_running);
}

struct ReceiverCase {
    const char *name;
    unsigned char fcr;
    std::size_t kept;
    unsigned char first;
};

class VirtualUartReceiver : public VirtualLink,
                            public ::testing::WithParamInterface<ReceiverCase> {};

// Twenty bytes that nobody reads: a FIFO keeps the first sixteen, a lone
// holding register the last; both report the overrun.
TEST_P(VirtualUartReceiver, KeepsWhatItHoldsAndReportsTheOverrun)
{
    const ReceiverCase &c = GetParam();
    plug_in("--fault noise=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19@Get_ID");
    Init_COM(base);
    tester_port_out(base + UART_FCR, c.fcr);
    tester_port_out(base + UART_TX, tester_cmd::Get_ID);
    idle(30 * 87);
    const unsigned char status = tester_port_in(base + UART_LSR);
    EXPECT_NE(status & UART_LSR_OE, 0);
    EXPECT_EQ(tester_port_in(base + UART_LSR) & UART_LSR_OE, 0) << "OE clears once read";
    std::vector<unsigned char> kept;
    while ((tester_port_in(base + UART_LSR) & UART_LSR_DR) != 0) {
        kept.push_back(tester_port_in(base + UART_RX));
    }
    ASSERT_EQ(kept.size(), c.kept);
    EXPECT_EQ(kept.front(), c.first);
}

INSTANTIATE_TEST_SUITE_P(Modes, VirtualUartReceiver,
                         ::testing::Values(ReceiverCase{"Fifo", UART_FCR_ENABLE_FIFO, 16, 1},
                                           ReceiverCase{"HoldingRegister", 0x00, 1,
                                                        tester_sim::box_id}),
                         NamedCase());

TEST_F(VirtualUart, LogsEveryByteOnTheLine)
{
    std::FILE *log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    plug_in("", log);
    Init_COM(base);
    unsigned char id = 0;
    ASSERT_EQ(Get_ID(base, &id), TESTER_OK);
    std::rewind(log);
    std::string text;
    for (int c = std::fgetc(log); c != EOF; c = std::fgetc(log)) text += static_cast<char>(c);
    std::fclose(log);
    EXPECT_NE(text.find("host->box  00  Get_ID"), std::string::npos) << text;
    EXPECT_NE(text.find("box->host  2A  (reply)"), std::string::npos) << text;
}

}  // namespace
