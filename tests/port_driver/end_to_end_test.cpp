// The driver against the virtual 16550 and the box model: every operation end to
// end, the read-back pairs that a healthy box gives, and what each kind of faulty
// box makes of the statuses.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "operation_table.h"
#include "port_api.h"
#include "virtual_link.h"

namespace {

struct ReadBack {
    const char *name;
    std::function<void(unsigned short)> write;
    std::function<int(unsigned short, unsigned long *)> read;
    unsigned long expected;
};

// Each write must succeed for its read to mean anything.
std::function<void(unsigned short)> writes(std::function<std::vector<int>(unsigned short)> calls)
{
    return [calls](unsigned short base) {
        for (const int status : calls(base)) EXPECT_EQ(status, TESTER_OK);
    };
}

template <typename Out>
std::function<int(unsigned short, unsigned long *)> read_with(int (*read)(unsigned short, Out *))
{
    return [read](unsigned short base, unsigned long *value) {
        Out out{};
        const int status = read(base, &out);
        *value = static_cast<unsigned long>(out);
        return status;
    };
}

class EndToEndReadBack : public VirtualLink, public ::testing::WithParamInterface<ReadBack> {};

TEST_P(EndToEndReadBack, HealthyBoxAnswersWithWhatWasWritten)
{
    const ReadBack &pair = GetParam();
    plug_in("");
    Init_COM(base);
    pair.write(base);
    unsigned long value = 0xDEAD;
    EXPECT_EQ(pair.read(base, &value), TESTER_OK);
    EXPECT_EQ(value, pair.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, EndToEndReadBack,
    ::testing::Values(
        ReadBack{"Identification", writes([](auto) { return std::vector<int>{}; }),
                 read_with(Get_ID), 0x2A},
        ReadBack{"StatusOfSetSiAndSetSo", writes([](auto b) {
                     return std::vector<int>{Set_SI(b, 0xF9), Set_SO(b, 0xCF)};
                 }),
                 read_with(RD_RS), 0x09},
        ReadBack{"StatusAfterReset", writes([](auto b) {
                     return std::vector<int>{Set_SI(b, 0xF9), Set_SO(b, 0xCF), Tester_Reset(b)};
                 }),
                 read_with(RD_RS), 0x24},
        ReadBack{"StatusWithBothSidesStarted", writes([](auto b) {
                     return std::vector<int>{SSI(b), SSO(b)};
                 }),
                 read_with(RD_RS), 0xE4},
        ReadBack{"StatusWithBothSidesStoppedAgain", writes([](auto b) {
                     return std::vector<int>{SSI(b), SSO(b), SSI(b), SSO(b)};
                 }),
                 read_with(RD_RS), 0x24},
        ReadBack{"InputMode1", writes([](auto b) { return std::vector<int>{Set_SI_Mod1(b)}; }),
                 read_with(RD_Mod_SI), 1},
        ReadBack{"InputMode2", writes([](auto b) { return std::vector<int>{Set_SI_Mod2(b)}; }),
                 read_with(RD_Mod_SI), 2},
        ReadBack{"InputMode3",
                 writes([](auto b) { return std::vector<int>{Set_SI_Mod3(b, 0x15)}; }),
                 read_with(RD_Mod_SI), 3},
        ReadBack{"InputMode4",
                 writes([](auto b) { return std::vector<int>{Set_SI_Mod4(b, 0xAD)}; }),
                 read_with(RD_Mod_SI), 4},
        ReadBack{"InputParameterOfMode3",
                 writes([](auto b) { return std::vector<int>{Set_SI_Mod3(b, 0x15)}; }),
                 read_with(RD_Param_SI), 0x15},
        ReadBack{"InputParameterOfMode4",
                 writes([](auto b) { return std::vector<int>{Set_SI_Mod4(b, 0xAD)}; }),
                 read_with(RD_Param_SI), 0xAD},
        ReadBack{"OutputMode1", writes([](auto b) { return std::vector<int>{Set_SO_Mod1(b, 64)}; }),
                 read_with(RD_Mod_SO), 1},
        ReadBack{"OutputMode2",
                 writes([](auto b) { return std::vector<int>{Set_SO_Mod2(b, 128)}; }),
                 read_with(RD_Mod_SO), 2},
        ReadBack{"OutputLengthOfMode1",
                 writes([](auto b) { return std::vector<int>{Set_SO_Mod1(b, 64)}; }),
                 read_with(RD_Param_SO), 64},
        ReadBack{"OutputLengthOfMode2",
                 writes([](auto b) { return std::vector<int>{Set_SO_Mod2(b, 256)}; }),
                 read_with(RD_Param_SO), 256},
        ReadBack{"Timer", writes([](auto b) { return std::vector<int>{WR_Timer_Param(b, 5)}; }),
                 read_with(RD_Timer), 23040},
        // Starting both sides sends one frame of the output length round the loop.
        ReadBack{"OutputCountAfterALoop", writes([](auto b) {
                     return std::vector<int>{Set_SO_Mod2(b, 128), SSI(b), SSO(b)};
                 }),
                 read_with(RD_Count_SO), 128},
        ReadBack{"InputCountAfterALoop", writes([](auto b) {
                     return std::vector<int>{Set_SO_Mod2(b, 256), SSI(b), SSO(b)};
                 }),
                 read_with(RD_Count_SI), 256},
        ReadBack{"EventFlagAfterALoop", writes([](auto b) {
                     return std::vector<int>{SSI(b), SSO(b)};
                 }),
                 read_with(RD_Ivent_Flag), 1},
        ReadBack{"EventCountAfterALoop", writes([](auto b) {
                     return std::vector<int>{SSI(b), SSO(b)};
                 }),
                 read_with(RD_Count_Ivent), 1},
        ReadBack{"LoopedWord", writes([](auto b) {
                     return std::vector<int>{Put_ArincWordSO(b, 0, 0xCAFE0001), SSI(b), SSO(b)};
                 }),
                 [](unsigned short b, unsigned long *word) { return Get_ArincWordSI(b, 0, word); },
                 0xCAFE0001}),
    NamedCase());

using EndToEnd = VirtualLink;

TEST_F(EndToEnd, EveryWordReadsBackOnBothSides)
{
    plug_in("--loopback off");
    Init_COM(base);
    for (unsigned index = 0; index < 256; ++index) {
        SCOPED_TRACE(index);
        const unsigned long out_word = 0x12345600UL + index;
        const unsigned long in_word = ~out_word & 0xFFFFFFFFUL;
        const auto i = static_cast<unsigned char>(index);
        ASSERT_EQ(Put_ArincWordSO(base, i, out_word), TESTER_OK);
        ASSERT_EQ(Put_ArincWordSI(base, i, in_word), TESTER_OK);
        unsigned long word = 0;
        ASSERT_EQ(Get_ArincWordSO(base, i, &word), TESTER_OK);
        EXPECT_EQ(word, out_word);
        ASSERT_EQ(Get_ArincWordSI(base, i, &word), TESTER_OK);
        EXPECT_EQ(word, in_word);
    }
}

TEST_F(EndToEnd, SilentBoxTimesOutEveryEchoAndGetIdHasNoData)
{
    plug_in("--fault silent");
    Init_COM(base);
    for (const Operation &op : operations_with_echo()) {
        SCOPED_TRACE(op.name);
        const Outcome outcome = op.run(base);
        EXPECT_EQ(outcome.status, TESTER_E_TIMEOUT);
        EXPECT_FALSE(outcome.out_written);
    }
    unsigned char id = 0xEE;
    EXPECT_EQ(Get_ID(base, &id), TESTER_E_NO_DATA);
    EXPECT_EQ(id, 0xEE);
}

// A reply that comes after its operation gave up waits in the FIFO and spoils the
// next echo, until Init_COM empties the FIFO.
TEST_F(EndToEnd, LateReplyIsTakenAsTheNextEcho)
{
    plug_in("--fault delay=40@RD_Mod_SI");
    Init_COM(base);
    unsigned char mode = 0xEE;
    EXPECT_EQ(RD_Mod_SI(base, &mode), TESTER_E_NO_DATA);
    EXPECT_EQ(RD_Mod_SO(base, &mode), TESTER_E_ECHO);
    EXPECT_EQ(mode, 0xEE);
    idle(1000);
    Init_COM(base);
    EXPECT_EQ(RD_Mod_SO(base, &mode), TESTER_OK);
    EXPECT_EQ(mode, 1);
}

struct FaultyBox {
    const char *name;
    const char *options;
    const char *operation;
    int status;
};

class EndToEndFaultyBox : public VirtualLink, public ::testing::WithParamInterface<FaultyBox> {};

TEST_P(EndToEndFaultyBox, GivesThePortStatusAndLeavesTheOutValue)
{
    const FaultyBox &box = GetParam();
    plug_in(box.options);
    Init_COM(base);
    const auto ops = operations_with_echo();
    const auto op = std::find_if(ops.begin(), ops.end(),
                                 [&](const Operation &o) { return o.name == box.operation; });
    ASSERT_NE(op, ops.end());
    const Outcome outcome = op->run(base);
    EXPECT_EQ(outcome.status, box.status);
    EXPECT_FALSE(outcome.out_written);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, EndToEndFaultyBox,
    ::testing::Values(
        FaultyBox{"WrongEcho", "--fault echo=0x05@RD_RS", "RD_RS", TESTER_E_ECHO},
        FaultyBox{"EchoTooLate", "--fault echo-delay=40@SSI", "SSI", TESTER_E_TIMEOUT},
        FaultyBox{"ReplyTooLate", "--fault delay=40@RD_Count_SI", "RD_Count_SI", TESTER_E_NO_DATA},
        FaultyBox{"ThreeBytesOfAWord", "--fault short=3@Get_ArincWordSO", "Get_ArincWordSO",
                  TESTER_E_NO_DATA},
        FaultyBox{"OneByteOfTheTimer", "--fault short=1@RD_Timer", "RD_Timer", TESTER_E_NO_DATA},
        // The box takes no more bytes: the transmitter never empties.
        FaultyBox{"StalledAfterTheCommand", "--fault stall@Set_SI_Mod3", "Set_SI_Mod3",
                  TESTER_E_NO_DATA},
        FaultyBox{"StalledAfterTheIndex", "--fault stall@Put_ArincWordSO:0", "Put_ArincWordSO",
                  TESTER_E_NO_DATA}),
    NamedCase());

}  // namespace
