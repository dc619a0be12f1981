// Every wait is a count of LSR reads: the awaited bit on the 30000th read is in
// time, on the 30001st it is not, and each poll starts with a whole budget.
#include <string>

#include "port_api.h"
#include "scripted_link.h"
#include "tester_commands.h"

namespace {

struct ReceiveEdge {
    const char *name;
    int echo_shows_on;   // LSR read of the echo poll on which data-ready shows
    int reply_shows_on;  // LSR read of the reply poll on which data-ready shows
    int status;
    int lsr_reads;
    unsigned int left_in_fifo;
};

using PollBudgetReceive = ScriptedLinkWith<ReceiveEdge>;

TEST_P(PollBudgetReceive, TheReadCountDecides)
{
    const ReceiveEdge &edge = GetParam();
    uart.arrive(tester_cmd::RD_Mod_SI, edge.echo_shows_on - 1);
    uart.arrive(0x02, edge.reply_shows_on - 1);
    unsigned char mode = 0xEE;
    EXPECT_EQ(RD_Mod_SI(base, &mode), edge.status);
    EXPECT_EQ(mode, edge.status == TESTER_OK ? 0x02 : 0xEE);
    EXPECT_EQ(uart.lsr_reads(), edge.lsr_reads);
    // A byte that came too late is not read: it waits in the FIFO.
    EXPECT_EQ(uart.unread(), edge.left_in_fifo);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, PollBudgetReceive,
    ::testing::Values(ReceiveEdge{"EchoOnLastRead", 30000, 1, TESTER_OK, 30001, 0},
                      ReceiveEdge{"EchoOneReadLate", 30001, 1, TESTER_E_TIMEOUT, 30001, 2},
                      ReceiveEdge{"ReplyOnLastRead", 1, 30000, TESTER_OK, 30001, 0},
                      ReceiveEdge{"ReplyOneReadLate", 1, 30001, TESTER_E_NO_DATA, 30002, 1},
                      // A budget carried from the echo poll would run out here.
                      ReceiveEdge{"BothOnLastRead", 30000, 30000, TESTER_OK, 60000, 0}),
    NamedCase());

struct TransmitEdge {
    const char *name;
    int empty_shows_on;  // LSR read of the transmitter poll on which THRE shows
    int status;
    int lsr_reads;
};

using PollBudgetTransmit = ScriptedLinkWith<TransmitEdge>;

TEST_P(PollBudgetTransmit, TheReadCountDecides)
{
    const TransmitEdge &edge = GetParam();
    uart.arrive(tester_cmd::Set_SI_Mod3);
    uart.hold_transmitter(2, edge.empty_shows_on - 1);
    EXPECT_EQ(Set_SI_Mod3(base, 0x15), edge.status);
    EXPECT_EQ(uart.lsr_reads(), edge.lsr_reads);
}

INSTANTIATE_TEST_SUITE_P(Edges, PollBudgetTransmit,
                         ::testing::Values(TransmitEdge{"EmptyOnLastRead", 30000, TESTER_OK, 30001},
                                           TransmitEdge{"EmptyOneReadLate", 30001, TESTER_E_NO_DATA,
                                                        30002}),
                         NamedCase());

}  // namespace
