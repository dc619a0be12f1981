// Healthy exchanges: the register sequence of each kind of transaction, the
// parameter byte that each write puts on the line, and the value that each read
// makes of its reply bytes.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "port_api.h"
#include "scripted_link.h"
#include "tester_commands.h"

namespace {

using LineTrace = ScriptedLink;

TEST_F(LineTrace, CommandOnlyIsCommandAndEcho)
{
    uart.arrive(tester_cmd::SSI);
    EXPECT_EQ(SSI(base), TESTER_OK);
    EXPECT_EQ(uart.trace(), (std::vector<std::string>{"TX 80", "LSR", "RX"}));
}

TEST_F(LineTrace, SetSoMod2LengthGoesOutAsLengthLessOne)
{
    uart.arrive(tester_cmd::Set_SO_Mod2);
    EXPECT_EQ(Set_SO_Mod2(base, 128), TESTER_OK);
    EXPECT_EQ(uart.trace(), (std::vector<std::string>{"TX F1", "LSR", "RX", "TX 7F", "LSR"}));
}

TEST_F(LineTrace, OneByteReadPollsAgainForTheReply)
{
    uart.arrive({tester_cmd::RD_RS, 0x2D});
    unsigned char status = 0;
    EXPECT_EQ(RD_RS(base, &status), TESTER_OK);
    EXPECT_EQ(status, 0x09);
    EXPECT_EQ(uart.trace(), (std::vector<std::string>{"TX 04", "LSR", "RX", "LSR", "RX"}));
}

// Each of the five bytes after the echo waits for the transmitter on its own.
TEST_F(LineTrace, PutSendsIndexThenWordMostSignificantFirst)
{
    uart.arrive(tester_cmd::Put_ArincWordSO);
    EXPECT_EQ(Put_ArincWordSO(base, 0x2A, 0x1234562A), TESTER_OK);
    EXPECT_EQ(uart.trace(),
              (std::vector<std::string>{"TX 99", "LSR", "RX", "TX 2A", "LSR", "TX 12", "LSR",
                                        "TX 34", "LSR", "TX 56", "LSR", "TX 2A", "LSR"}));
}

// The index goes out without a transmitter wait; the four reply polls follow.
TEST_F(LineTrace, GetSendsIndexAndAssemblesWordMostSignificantFirst)
{
    uart.arrive({tester_cmd::Get_ArincWordSO, 0x12, 0x34, 0x56, 0x2A});
    unsigned long word = 0;
    EXPECT_EQ(Get_ArincWordSO(base, 0x2A, &word), TESTER_OK);
    EXPECT_EQ(word, 0x1234562Au);
    EXPECT_EQ(uart.trace(), (std::vector<std::string>{"TX 91", "LSR", "RX", "TX 2A", "LSR", "RX",
                                                      "LSR", "RX", "LSR", "RX", "LSR", "RX"}));
}

TEST_F(LineTrace, TimerTakesTwoRepliesOneAtATime)
{
    uart.arrive({tester_cmd::RD_Timer, 0x00, 0x5A});
    unsigned long microseconds = 0;
    EXPECT_EQ(RD_Timer(base, &microseconds), TESTER_OK);
    EXPECT_EQ(microseconds, 23040u);
    EXPECT_EQ(uart.trace(),
              (std::vector<std::string>{"TX 07", "LSR", "RX", "LSR", "RX", "LSR", "RX"}));
}

struct ParameterCase {
    const char *name;
    std::function<int(unsigned short)> write;
    unsigned char command;
    unsigned char parameter;
};

using ParameterByte = ScriptedLinkWith<ParameterCase>;

TEST_P(ParameterByte, GoesOutAfterTheEcho)
{
    const ParameterCase &c = GetParam();
    uart.arrive(c.command);
    EXPECT_EQ(c.write(base), TESTER_OK);
    EXPECT_EQ(uart.transmitted(), (std::vector<unsigned char>{c.command, c.parameter}));
}

INSTANTIATE_TEST_SUITE_P(
    Writes, ParameterByte,
    ::testing::Values(
        // Only the input-side bits, its field through the map.
        ParameterCase{"Set_SI_F9", [](auto b) { return Set_SI(b, 0xF9); }, 0x88, 0x05},
        ParameterCase{"Set_SI_00", [](auto b) { return Set_SI(b, 0x00); }, 0x88, 0x04},
        ParameterCase{"Set_SI_06", [](auto b) { return Set_SI(b, 0x06); }, 0x88, 0x00},
        ParameterCase{"Set_SI_FF", [](auto b) { return Set_SI(b, 0xFF); }, 0x88, 0x01},
        // Only the output-side bits, its field through the map.
        ParameterCase{"Set_SO_CF", [](auto b) { return Set_SO(b, 0xCF); }, 0x89, 0x28},
        ParameterCase{"Set_SO_00", [](auto b) { return Set_SO(b, 0x00); }, 0x89, 0x20},
        ParameterCase{"Set_SO_30", [](auto b) { return Set_SO(b, 0x30); }, 0x89, 0x00},
        ParameterCase{"Set_SO_FF", [](auto b) { return Set_SO(b, 0xFF); }, 0x89, 0x08},
        ParameterCase{"Set_SI_Mod3", [](auto b) { return Set_SI_Mod3(b, 0x15); }, 0xE2, 0x15},
        ParameterCase{"Set_SI_Mod4", [](auto b) { return Set_SI_Mod4(b, 0xAD); }, 0xE3, 0xAD},
        ParameterCase{"WR_Timer_Param", [](auto b) { return WR_Timer_Param(b, 0xFF); }, 0x26, 0xFF},
        ParameterCase{"Set_SO_Mod1_1", [](auto b) { return Set_SO_Mod1(b, 1); }, 0xF0, 0x00},
        ParameterCase{"Set_SO_Mod1_256", [](auto b) { return Set_SO_Mod1(b, 256); }, 0xF0, 0xFF},
        ParameterCase{"Set_SO_Mod2_64", [](auto b) { return Set_SO_Mod2(b, 64); }, 0xF1, 0x3F}),
    NamedCase());

struct ReplyCase {
    const char *name;
    std::function<int(unsigned short, long long *)> read;
    unsigned char command;
    std::vector<unsigned char> reply;
    long long value;
};

template <typename Out>
std::function<int(unsigned short, long long *)> into_value(int (*read)(unsigned short, Out *))
{
    return [read](unsigned short base, long long *value) {
        Out out{};
        const int status = read(base, &out);
        *value = static_cast<long long>(out);
        return status;
    };
}

using ReplyValue = ScriptedLinkWith<ReplyCase>;

TEST_P(ReplyValue, FollowsItsRule)
{
    const ReplyCase &c = GetParam();
    uart.arrive(c.command);
    for (const unsigned char byte : c.reply) uart.arrive(byte);
    long long value = -1;
    EXPECT_EQ(c.read(base, &value), TESTER_OK);
    EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ReplyValue,
    ::testing::Values(
        // Status fields through the map, bits 0, 3, 6 and 7 as they are.
        ReplyCase{"RD_RS_00", into_value(RD_RS), 0x04, {0x00}, 0x24},
        ReplyCase{"RD_RS_2D", into_value(RD_RS), 0x04, {0x2D}, 0x09},
        ReplyCase{"RD_RS_3F", into_value(RD_RS), 0x04, {0x3F}, 0x09},
        ReplyCase{"RD_RS_FF", into_value(RD_RS), 0x04, {0xFF}, 0xC9},
        ReplyCase{"RD_RS_40", into_value(RD_RS), 0x04, {0x40}, 0x64},
        // Passed through without any map.
        ReplyCase{"RD_Mod_SI", into_value(RD_Mod_SI), 0xC0, {0x04}, 4},
        ReplyCase{"RD_Param_SI", into_value(RD_Param_SI), 0x06, {0xAD}, 0xAD},
        ReplyCase{"RD_Mod_SO", into_value(RD_Mod_SO), 0xC8, {0x02}, 2},
        ReplyCase{"RD_Ivent_Flag", into_value(RD_Ivent_Flag), 0x08, {0xFF}, 0xFF},
        ReplyCase{"RD_Count_Ivent", into_value(RD_Count_Ivent), 0x09, {0x00}, 0},
        // Lengths and counts of 1 to 256 in one byte.
        ReplyCase{"RD_Param_SO_00", into_value(RD_Param_SO), 0x05, {0x00}, 1},
        ReplyCase{"RD_Param_SO_FF", into_value(RD_Param_SO), 0x05, {0xFF}, 256},
        ReplyCase{"RD_Count_SI_00", into_value(RD_Count_SI), 0x10, {0x00}, 256},
        ReplyCase{"RD_Count_SI_01", into_value(RD_Count_SI), 0x10, {0x01}, 1},
        ReplyCase{"RD_Count_SI_FF", into_value(RD_Count_SI), 0x10, {0xFF}, 255},
        ReplyCase{"RD_Count_SO_00", into_value(RD_Count_SO), 0x11, {0x00}, 256},
        // Timer bytes in bits 16-23 and 8-15.
        ReplyCase{"RD_Timer_FFFF", into_value(RD_Timer), 0x07, {0xFF, 0xFF}, 0xFFFF00},
        ReplyCase{"RD_Timer_0100", into_value(RD_Timer), 0x07, {0x01, 0x00}, 0x010000},
        ReplyCase{"Get_ArincWordSI_FFFFFFFF",
                  [](unsigned short b, long long *v) {
                      unsigned long word = 0;
                      const int status = Get_ArincWordSI(b, 0, &word);
                      *v = static_cast<long long>(word);
                      return status;
                  },
                  0x90,
                  {0xFF, 0xFF, 0xFF, 0xFF},
                  0xFFFFFFFF}),
    NamedCase());

TEST(Version, WritesTwoPointZeroAndItsZeroByteOnly)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    version_Velmora_DLL(buffer);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string("2.0\0xxxx", 8));
}

}  // namespace
