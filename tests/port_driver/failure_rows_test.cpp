// Every operation that speaks to the box, at every point where it can fail: the
// status code, what went on the line before the failure, and an out-value that
// stays as the caller set it.
#include <ostream>
#include <string>
#include <vector>

#include "operation_table.h"
#include "port_api.h"
#include "scripted_link.h"

namespace {

enum class Fault {
    none,
    no_echo,
    wrong_echo_low_bit,
    wrong_echo_high_bit,
    missing_reply,
    stuck_transmitter
};

struct Case {
    Operation operation;
    Fault fault;
    int at;  // the reply byte that does not come, or the transmitter poll that runs out
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.operation.name; }

std::string case_name(const ::testing::TestParamInfo<Case> &info)
{
    const Case &c = info.param;
    static const char *const faults[] = {"Answers",         "NoEcho",
                                         "EchoLowBitWrong", "EchoHighBitWrong",
                                         "NoReplyByte",     "TransmitterFullAfterByte"};
    std::string name = c.operation.name + "_" + faults[static_cast<int>(c.fault)];
    if (c.fault == Fault::missing_reply || c.fault == Fault::stuck_transmitter) {
        name += std::to_string(c.at + 1);
    }
    return name;
}

std::vector<Case> cases()
{
    std::vector<Case> all;
    for (const Operation &op : operations_with_echo()) {
        for (Fault fault :
             {Fault::none, Fault::no_echo, Fault::wrong_echo_low_bit, Fault::wrong_echo_high_bit}) {
            all.push_back({op, fault, 0});
        }
        for (int at = 0; at < op.reply_bytes; ++at) all.push_back({op, Fault::missing_reply, at});
        for (int at = 0; at < op.transmitter_polls; ++at) {
            all.push_back({op, Fault::stuck_transmitter, at});
        }
    }
    return all;
}

// Reply bytes whose every decoding differs from the out-value marker.
constexpr unsigned char replies[] = {0x11, 0x22, 0x33, 0x44};

using OperationFaults = ScriptedLinkWith<Case>;

TEST_P(OperationFaults, StatusLineAndOutValue)
{
    const Case &c = GetParam();
    const Operation &op = c.operation;
    const unsigned char command = op.line.front();
    const int first_polled_byte = static_cast<int>(op.line.size()) - op.transmitter_polls;

    int status = TESTER_OK;
    std::size_t sent = op.line.size();
    int replies_given = op.reply_bytes;
    switch (c.fault) {
        case Fault::none:
            break;
        case Fault::no_echo:
            status = TESTER_E_TIMEOUT;
            sent = 1;
            replies_given = 0;
            break;
        case Fault::wrong_echo_low_bit:
        case Fault::wrong_echo_high_bit:
            status = TESTER_E_ECHO;
            sent = 1;
            break;
        case Fault::missing_reply:
            status = TESTER_E_NO_DATA;
            replies_given = c.at;
            break;
        case Fault::stuck_transmitter:
            status = TESTER_E_NO_DATA;
            sent = static_cast<std::size_t>(first_polled_byte + c.at + 1);
            uart.hold_transmitter(static_cast<int>(sent), ScriptedUart::forever);
            break;
    }
    if (c.fault != Fault::no_echo) {
        const unsigned char flip = c.fault == Fault::wrong_echo_low_bit    ? 0x01
                                   : c.fault == Fault::wrong_echo_high_bit ? 0x80
                                                                           : 0x00;
        uart.arrive(static_cast<unsigned char>(command ^ flip));
    }
    for (int i = 0; i < replies_given; ++i) uart.arrive(replies[i]);

    const Outcome outcome = op.run(base);

    EXPECT_EQ(outcome.status, status);
    EXPECT_EQ(outcome.out_written, status == TESTER_OK && op.reply_bytes > 0);
    EXPECT_EQ(uart.transmitted(),
              std::vector<unsigned char>(op.line.begin(), op.line.begin() + sent));
    // After a bad echo nothing more is read, so the replies stay queued.
    const bool bad_echo = status == TESTER_E_ECHO;
    EXPECT_EQ(uart.unread(), bad_echo ? static_cast<std::size_t>(replies_given) : 0u);
    EXPECT_EQ(uart.rbr_reads(), c.fault == Fault::no_echo ? 0 : 1 + (bad_echo ? 0 : replies_given));
}

INSTANTIATE_TEST_SUITE_P(AllOperations, OperationFaults, ::testing::ValuesIn(cases()), case_name);

}  // namespace
