// Faults on demand, as the box model carries them out.
#include <gtest/gtest.h>

#include "box_model.h"
#include "model_client.h"
#include "tester_commands.h"

namespace {

using namespace tester_sim;
using sim_test::bytes;
using sim_test::must_parse;
using sim_test::transact;
namespace cmd = tester_cmd;

// Words 11 to 16 and 64 on both sides, so forced word answers differ from the stored ones.
const bytes some_words = {
    cmd::Put_ArincWordSO, 15, 1, 1, 1, 15, cmd::Put_ArincWordSO, 16, 1, 1, 1, 16,
    cmd::Put_ArincWordSI, 11, 2, 2, 2, 11, cmd::Put_ArincWordSI, 12, 2, 2, 2, 12,
    cmd::Put_ArincWordSI, 13, 2, 2, 2, 13, cmd::Put_ArincWordSI, 64, 2, 2, 2, 64,
};

struct fault_case {
    const char *name;
    const char *fault;
    bytes setup;                      // sent before the fault is set; its answers are dropped
    std::vector<bytes> transactions;  // one host transaction each
    std::vector<bytes> answers;       // what the box sends for each
};

class SimBoxFaults : public ::testing::TestWithParam<fault_case> {};

TEST_P(SimBoxFaults, BoxAnswersAsTheFaultSays)
{
    const auto &c = GetParam();
    box_model box(sim_test::instant_box());
    transact(box, c.setup);
    box.set_faults({must_parse(c.fault)});
    ASSERT_EQ(c.transactions.size(), c.answers.size());
    for (std::size_t i = 0; i < c.transactions.size(); ++i)
        EXPECT_EQ(transact(box, c.transactions[i]), c.answers[i]) << "transaction " << i;
}

INSTANTIATE_TEST_SUITE_P(
    SimTable, SimBoxFaults,
    ::testing::Values(
        fault_case{
            "SilentBox", "silent", {}, {{cmd::Get_ID}, {cmd::RD_RS}, {cmd::Set_SI}}, {{}, {}, {}}},
        fault_case{"SilentOneCommand",
                   "silent@RD_RS",
                   {},
                   {{cmd::RD_RS}, {cmd::RD_Ivent_Flag}},
                   {{}, {cmd::RD_Ivent_Flag, 0}}},
        fault_case{"SilentByHexByte",
                   "silent@0x04",
                   {},
                   {{cmd::RD_RS}, {cmd::RD_Count_SI}},
                   {{}, {cmd::RD_Count_SI, 0}}},
        fault_case{"NoEchoForResetAndNoReset",
                   "silent@Tester_Reset",
                   {cmd::Set_SI, 0x05},
                   {{cmd::Tester_Reset}, {cmd::RD_RS}},
                   {{}, {cmd::RD_RS, 0x05}}},
        fault_case{
            "WrongEcho", "echo=0x77@RD_RS", {}, {{cmd::RD_RS}, {cmd::RD_RS}}, {{0x77}, {0x77}}},
        fault_case{"WrongEchoTakesNoParameter",
                   "echo=0x00@Set_SI",
                   {},
                   {{cmd::Set_SI}, {cmd::RD_RS}},
                   {{0x00}, {cmd::RD_RS, 0x00}}},
        fault_case{"WrongEchoAtNthCommandOverall",
                   "echo=0xFF@#2",
                   {},
                   {{cmd::RD_Ivent_Flag}, {cmd::SSI}, {cmd::RD_Ivent_Flag}},
                   {{cmd::RD_Ivent_Flag, 0}, {0xFF}, {cmd::RD_Ivent_Flag, 0}}},
        fault_case{"WrongEchoOfUnknownByte", "echo=0x00@0x55", {}, {{0x55}}, {{0x00}}},
        fault_case{"NoiseBeforeEcho",
                   "noise=0xFF,0x13@RD_RS",
                   {},
                   {{cmd::RD_RS}},
                   {{0xFF, 0x13, cmd::RD_RS, 0x00}}},
        fault_case{"NoiseBeforeId", "noise=0x55@Get_ID", {}, {{cmd::Get_ID}}, {{0x55, box_id}}},
        fault_case{"ShortWord",
                   "short=2@Get_ArincWordSO",
                   some_words,
                   {{cmd::Get_ArincWordSO, 15}},
                   {{cmd::Get_ArincWordSO, 1, 1}}},
        fault_case{"ShortToEchoOnly", "short=0@RD_RS", {}, {{cmd::RD_RS}}, {{cmd::RD_RS}}},
        fault_case{"AnswerAtSecondUse",
                   "answer=0x0B@RD_RS#2",
                   {},
                   {{cmd::RD_RS}, {cmd::RD_RS}, {cmd::RD_RS}},
                   {{cmd::RD_RS, 0}, {cmd::RD_RS, 0x0B}, {cmd::RD_RS, 0}}},
        fault_case{"StatusAsTheHostDecodesIt",
                   "status=0x0B@RD_RS",
                   {},
                   {{cmd::RD_RS}},
                   {{cmd::RD_RS, 0x2B}}},
        fault_case{"SoWordAtIndex16ReadsZero",
                   "answer=0@Get_ArincWordSO:16",
                   some_words,
                   {{cmd::Get_ArincWordSO, 15}, {cmd::Get_ArincWordSO, 16}},
                   {{cmd::Get_ArincWordSO, 1, 1, 1, 15}, {cmd::Get_ArincWordSO, 0, 0, 0, 0}}},
        fault_case{"SiWordAtIndex64ReadsZero",
                   "answer=0@Get_ArincWordSI:64",
                   some_words,
                   {{cmd::Get_ArincWordSI, 64}},
                   {{cmd::Get_ArincWordSI, 0, 0, 0, 0}}},
        fault_case{"IdentificationZero", "answer=0@Get_ID", {}, {{cmd::Get_ID}}, {{0x00}}},
        fault_case{"SiModeFiveAtSecondUse",
                   "answer=5@RD_Mod_SI#2",
                   {},
                   {{cmd::RD_Mod_SI}, {cmd::RD_Mod_SI}},
                   {{cmd::RD_Mod_SI, 1}, {cmd::RD_Mod_SI, 5}}},
        fault_case{
            "SilentAtIndex12AfterTheEcho",
            "silent@Get_ArincWordSI:12",
            some_words,
            {{cmd::Get_ArincWordSI, 11}, {cmd::Get_ArincWordSI, 12}, {cmd::Get_ArincWordSI, 13}},
            {{cmd::Get_ArincWordSI, 2, 2, 2, 11},
             {cmd::Get_ArincWordSI},
             {cmd::Get_ArincWordSI, 2, 2, 2, 13}}},
        fault_case{
            "IndexAndOccurrence",
            "answer=1@Get_ArincWordSO:16#2",
            some_words,
            {{cmd::Get_ArincWordSO, 16}, {cmd::Get_ArincWordSO, 15}, {cmd::Get_ArincWordSO, 16}},
            {{cmd::Get_ArincWordSO, 1, 1, 1, 16},
             {cmd::Get_ArincWordSO, 1, 1, 1, 15},
             {cmd::Get_ArincWordSO, 0, 0, 0, 1}}},
        fault_case{"SilentPutStoresNothing",
                   "silent@Put_ArincWordSO:16",
                   some_words,
                   {{cmd::Put_ArincWordSO, 16, 9, 9, 9, 9}, {cmd::Get_ArincWordSO, 16}},
                   {{cmd::Put_ArincWordSO}, {cmd::Get_ArincWordSO, 1, 1, 1, 16}}},
        fault_case{"Bit6SetAtFourthUse",
                   "set=0x40@RD_RS#4",
                   {},
                   {{cmd::RD_RS}, {cmd::RD_RS}, {cmd::RD_RS}, {cmd::RD_RS}},
                   {{cmd::RD_RS, 0}, {cmd::RD_RS, 0}, {cmd::RD_RS, 0}, {cmd::RD_RS, 0x40}}},
        fault_case{"Bit6Cleared",
                   "clear=0x40@RD_RS",
                   {cmd::SSI, cmd::SSO},
                   {{cmd::RD_RS}},
                   {{cmd::RD_RS, 0x80}}},
        fault_case{"TimerAnswer",
                   "answer=0x1234@RD_Timer",
                   {},
                   {{cmd::RD_Timer}},
                   {{cmd::RD_Timer, 0x12, 0x34}}}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(SimBoxFault, SilentBoxChangesNoState)
{
    box_model box(sim_test::instant_box(), {must_parse("silent")});
    EXPECT_EQ(box.host_byte(0, cmd::Set_SI), byte_role::ignored);
    EXPECT_EQ(box.host_byte(0, cmd::SSI), byte_role::ignored);
    EXPECT_EQ(box.state().status, 0);
}

TEST(SimBoxFault, RolesOfChangedBytes)
{
    box_model box(sim_test::instant_box(),
                  {must_parse("noise=0x01@RD_RS"), must_parse("echo=0x99@RD_Mod_SI")});
    box.host_byte(0, cmd::RD_RS);
    box.host_byte(0, cmd::RD_Mod_SI);
    std::vector<byte_role> roles;
    for (const auto &b : sim_test::drain(box)) roles.push_back(b.role);
    EXPECT_EQ(roles, (std::vector<byte_role>{byte_role::noise, byte_role::echo, byte_role::reply,
                                             byte_role::wrong_echo}));
}

TEST(SimBoxFault, SettingFaultsRestartsTheirCountsAndClearsOldOnes)
{
    box_model box(sim_test::instant_box(), {must_parse("answer=9@RD_RS#2")});
    transact(box, {cmd::RD_RS});
    box.set_faults({must_parse("answer=9@RD_RS#2")});
    EXPECT_EQ(transact(box, {cmd::RD_RS}), (bytes{cmd::RD_RS, 0}));
    EXPECT_EQ(transact(box, {cmd::RD_RS}), (bytes{cmd::RD_RS, 9}));
    box.set_faults({});
    box.set_faults({must_parse("silent@Get_ID")});
    EXPECT_EQ(transact(box, {cmd::RD_RS}), (bytes{cmd::RD_RS, 0}));
}

struct timing_case {
    const char *name;
    const char *fault;
    bytes host;  // all at t = 1000 us
    std::vector<std::uint64_t> times;
};

class SimBoxFaultTiming : public ::testing::TestWithParam<timing_case> {};

TEST_P(SimBoxFaultTiming, BytesLeaveWhenTheFaultSays)
{
    const auto &c = GetParam();
    box_model box(sim_test::instant_box(), {must_parse(c.fault)});
    for (unsigned char b : c.host) box.host_byte(1000, b);
    std::vector<std::uint64_t> t;
    for (const auto &b : sim_test::drain(box)) t.push_back(b.t_us);
    EXPECT_EQ(t, c.times);
}

INSTANTIATE_TEST_SUITE_P(
    SimTable, SimBoxFaultTiming,
    ::testing::Values(
        timing_case{"ReplyDelayed", "delay=20@RD_RS", {cmd::RD_RS}, {1000, 21000}},
        timing_case{"EchoDelayedReplyBehindIt", "echo-delay=5@RD_RS", {cmd::RD_RS}, {6000, 6000}},
        timing_case{"SplitIntoBytes", "split=10@RD_Timer", {cmd::RD_Timer}, {1000, 11000, 21000}},
        timing_case{"SplitIntoPairs",
                    "split=10,2@Get_ArincWordSO",
                    {cmd::Get_ArincWordSO, 0},
                    {1000, 11000, 11000, 21000, 21000}},
        timing_case{"DelayOnlyWhereTargeted", "delay=20@RD_Timer", {cmd::RD_RS}, {1000, 1000}}),
    [](const auto &test) { return std::string(test.param.name); });

// The late-byte rule seen from the box: a reply held past the host's time limit still goes,
// ahead of the echo of the next command.
TEST(SimBoxFault, LateReplyGoesBeforeTheNextEcho)
{
    box_model box(sim_test::instant_box(), {must_parse("delay=2000@RD_RS#1")});
    box.host_byte(0, cmd::RD_RS);
    box.host_byte(1'500'000, cmd::RD_Mod_SI);
    const auto out = sim_test::drain(box);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(sim_test::values(out), (bytes{cmd::RD_RS, 0x00, cmd::RD_Mod_SI, 1}));
    EXPECT_EQ(out[1].t_us, 2'000'000u);
    EXPECT_GE(out[2].t_us, out[1].t_us);
}

TEST(SimBoxFault, LineVanishesAfterTheEchoAndComesBackClean)
{
    box_model box(sim_test::instant_box(), {must_parse("vanish=1@RD_RS#1")});
    box.host_byte(0, cmd::RD_RS);
    ASSERT_TRUE(box.has_output());
    EXPECT_EQ(box.pop_output().value, cmd::RD_RS);
    EXPECT_TRUE(box.vanished());
    EXPECT_FALSE(box.has_output()) << "the reply never goes";
    EXPECT_EQ(box.host_byte(0, cmd::RD_RS), byte_role::ignored);
    box.line_restored();
    EXPECT_FALSE(box.vanished());
    EXPECT_EQ(transact(box, {cmd::RD_RS}), (bytes{cmd::RD_RS, 0x00}));
}

TEST(SimBoxFault, ARestoredLineIsNotHeldByAReplyThatNeverWent)
{
    box_model box(sim_test::instant_box(), {must_parse("delay=2500@RD_Mod_SI")});
    box.host_byte(0, cmd::RD_Mod_SI);
    EXPECT_EQ(box.pop_output().value, cmd::RD_Mod_SI);
    ASSERT_TRUE(box.has_output());  // the reply, due at 2.5 s
    box.line_restored();
    box.host_byte(300'000, cmd::SSI);
    ASSERT_TRUE(box.has_output());
    EXPECT_LT(box.next_output_time(), 400'000u);
}

TEST(SimBoxFault, LineVanishesAtOnceOrAfterNBytes)
{
    box_model at_once(sim_test::instant_box(), {must_parse("vanish")});
    EXPECT_TRUE(at_once.vanished());

    box_model after_three(sim_test::instant_box(), {must_parse("vanish=3")});
    after_three.host_byte(0, cmd::RD_RS);
    after_three.host_byte(0, cmd::RD_RS);
    EXPECT_EQ(sim_test::values(sim_test::drain(after_three)), (bytes{cmd::RD_RS, 0, cmd::RD_RS}));
    EXPECT_TRUE(after_three.vanished());
}

TEST(SimBoxFault, LineVanishesAtAnIndexAfterTheEcho)
{
    box_model box(sim_test::instant_box(), {must_parse("vanish@Get_ArincWordSI:12")});
    EXPECT_EQ(transact(box, {cmd::Get_ArincWordSI}), (bytes{cmd::Get_ArincWordSI}));
    EXPECT_FALSE(box.vanished());
    EXPECT_EQ(box.host_byte(0, 12), byte_role::ignored);
    EXPECT_TRUE(box.vanished());
    EXPECT_FALSE(box.has_output());
}

TEST(SimBoxFault, StallBlocksInputFromTheTargetedCommand)
{
    box_model box(sim_test::instant_box(),
                  {must_parse("stall=5@Set_SI"), must_parse("stall@Set_SO")});
    EXPECT_EQ(box.input_blocked_until(), 0u);
    box.host_byte(1000, cmd::Set_SI);
    EXPECT_EQ(box.input_blocked_until(), 6000u);
    EXPECT_EQ(sim_test::values(sim_test::drain(box)), bytes{cmd::Set_SI}) << "the echo still goes";
    box.host_byte(7000, 0x05);
    box.host_byte(7000, cmd::Set_SO);
    EXPECT_EQ(box.input_blocked_until(), forever_us);
}

}  // namespace
