// The healthy box: every command answers exactly the bytes due, and reads give back writes.
#include "box_model.h"

#include <gtest/gtest.h>

#include "encodings.h"
#include "model_client.h"
#include "tester_commands.h"

namespace {

using namespace tester_sim;
using sim_test::bytes;
using sim_test::transact;
namespace cmd = tester_cmd;

struct read_back_case {
    const char *name;
    bytes writes;  // whole commands with their parameter bytes
    bytes read;    // one read command (with its index, if any)
    bytes reply;   // what follows the echo
};

class SimBoxReadBack : public ::testing::TestWithParam<read_back_case> {};

TEST_P(SimBoxReadBack, ReadGivesBackWhatWasWritten)
{
    const auto &c = GetParam();
    box_model box(sim_test::instant_box());
    transact(box, c.writes);
    bytes expected = {c.read[0]};
    expected.insert(expected.end(), c.reply.begin(), c.reply.end());
    EXPECT_EQ(transact(box, c.read), expected);
}

INSTANTIATE_TEST_SUITE_P(
    SimPairs, SimBoxReadBack,
    ::testing::Values(
        read_back_case{"SetSiSetSo", {cmd::Set_SI, 0x05, cmd::Set_SO, 0x28}, {cmd::RD_RS}, {0x2D}},
        read_back_case{"ResetClearsStatus",
                       {cmd::Set_SI, 0x05, cmd::Set_SO, 0x28, cmd::SSI, cmd::Tester_Reset},
                       {cmd::RD_RS},
                       {0x00}},
        read_back_case{"LaterSetSiKeepsSoBits",
                       {cmd::Set_SO, 0x28, cmd::Set_SI, 0x05, cmd::Set_SI, 0x02},
                       {cmd::RD_RS},
                       {0x2A}},
        read_back_case{"SsiSetsBit6", {cmd::SSI}, {cmd::RD_RS}, {0x40}},
        read_back_case{"SsoSetsBit7", {cmd::SSO}, {cmd::RD_RS}, {0x80}},
        read_back_case{"SsiTwiceStops", {cmd::SSI, cmd::SSI}, {cmd::RD_RS}, {0x00}},
        read_back_case{"SiMode1", {cmd::Set_SI_Mod2, cmd::Set_SI_Mod1}, {cmd::RD_Mod_SI}, {1}},
        read_back_case{"SiMode2", {cmd::Set_SI_Mod2}, {cmd::RD_Mod_SI}, {2}},
        read_back_case{"SiMode3", {cmd::Set_SI_Mod3, 0x15}, {cmd::RD_Mod_SI}, {3}},
        read_back_case{"SiMode4", {cmd::Set_SI_Mod4, 0xAD}, {cmd::RD_Mod_SI}, {4}},
        read_back_case{"SiParam3", {cmd::Set_SI_Mod3, 0x15}, {cmd::RD_Param_SI}, {0x15}},
        read_back_case{"SiParam4", {cmd::Set_SI_Mod4, 0xAD}, {cmd::RD_Param_SI}, {0xAD}},
        read_back_case{"SoMode1", {cmd::Set_SO_Mod1, 0x3F}, {cmd::RD_Mod_SO}, {1}},
        read_back_case{"SoMode2", {cmd::Set_SO_Mod2, 0x7F}, {cmd::RD_Mod_SO}, {2}},
        read_back_case{"SoParam1", {cmd::Set_SO_Mod1, 0x3F}, {cmd::RD_Param_SO}, {0x3F}},
        read_back_case{"SoParam2", {cmd::Set_SO_Mod2, 0xFF}, {cmd::RD_Param_SO}, {0xFF}},
        read_back_case{"Timer5", {cmd::WR_Timer_Param, 5}, {cmd::RD_Timer}, {0x00, 0x5A}},
        read_back_case{"Timer255", {cmd::WR_Timer_Param, 0xFF}, {cmd::RD_Timer}, {0x11, 0xEE}},
        read_back_case{"WordSo",
                       {cmd::Put_ArincWordSO, 16, 0x12, 0x34, 0x56, 0x10},
                       {cmd::Get_ArincWordSO, 16},
                       {0x12, 0x34, 0x56, 0x10}},
        read_back_case{"WordSi",
                       {cmd::Put_ArincWordSI, 255, 0x5A, 0x5A, 0x5A, 0x5A},
                       {cmd::Get_ArincWordSI, 255},
                       {0x5A, 0x5A, 0x5A, 0x5A}},
        read_back_case{"SidesKeepOwnWords",
                       {cmd::Put_ArincWordSI, 3, 1, 2, 3, 4, cmd::Put_ArincWordSO, 3, 9, 9, 9, 9},
                       {cmd::Get_ArincWordSI, 3},
                       {1, 2, 3, 4}}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(SimBoxModel, GetIdAnswersOneNonZeroByteWithoutEcho)
{
    box_model box(sim_test::instant_box());
    const bytes out = transact(box, {cmd::Get_ID});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NE(out[0], 0);
}

TEST(SimBoxModel, EveryWordOfBothSidesReadsBack)
{
    box_model box(sim_test::instant_box());
    for (int i = 0; i < 256; ++i) {
        const auto so = tester_encoding::word_bytes(0x12345600u + unsigned(i));
        const auto si = tester_encoding::word_bytes(0xA0000000u ^ (unsigned(i) << 8));
        const auto idx = static_cast<unsigned char>(i);
        EXPECT_EQ(transact(box, {cmd::Put_ArincWordSO, idx, so[0], so[1], so[2], so[3]}),
                  bytes{cmd::Put_ArincWordSO});
        transact(box, {cmd::Put_ArincWordSI, idx, si[0], si[1], si[2], si[3]});
    }
    for (int i = 0; i < 256; ++i) {
        const auto idx = static_cast<unsigned char>(i);
        EXPECT_EQ(box.state().words_so[idx], 0x12345600u + unsigned(i));
        const auto si = tester_encoding::word_bytes(0xA0000000u ^ (unsigned(i) << 8));
        EXPECT_EQ(transact(box, {cmd::Get_ArincWordSI, idx}),
                  (bytes{cmd::Get_ArincWordSI, si[0], si[1], si[2], si[3]}));
    }
}

TEST(SimBoxModel, UnknownByteIsEchoedAndChangesNothing)
{
    box_model box(sim_test::instant_box());
    transact(box, {cmd::Set_SI, 0x05});
    const box_state before = box.state();
    EXPECT_EQ(box.host_byte(0, 0x55), byte_role::unknown_command);
    EXPECT_EQ(sim_test::values(sim_test::drain(box)), bytes{0x55});
    // The next byte is a command again, not a parameter of the unknown one.
    EXPECT_EQ(transact(box, {cmd::RD_RS}), (bytes{cmd::RD_RS, 0x05}));
    EXPECT_EQ(box.state().status, before.status);
    EXPECT_EQ(box.state().words_si, before.words_si);
}

TEST(SimBoxModel, HostBytesAreTakenInTheirRoles)
{
    box_model box(sim_test::instant_box());
    EXPECT_EQ(box.host_byte(0, cmd::Put_ArincWordSO), byte_role::command);
    EXPECT_EQ(box.host_byte(0, 7), byte_role::index);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(box.host_byte(0, cmd::RD_RS), byte_role::data);
    EXPECT_EQ(box.host_byte(0, cmd::Set_SI), byte_role::command);
    EXPECT_EQ(box.host_byte(0, cmd::SSI), byte_role::parameter);
    EXPECT_EQ(box.state().words_so[7], 0x04040404u);
    EXPECT_EQ(box.state().status, cmd::SSI & 0x07);
}

TEST(SimBoxModel, ResetKeepsWordsAndClearsEverythingElse)
{
    box_model box(sim_test::instant_box());
    transact(box, {cmd::Put_ArincWordSO, 0, 1, 2, 3, 4, cmd::Set_SO_Mod2, 9, cmd::Set_SI_Mod4, 7,
                   cmd::WR_Timer_Param, 5, cmd::SSI, cmd::SSO});
    ASSERT_NE(box.state().count_si, 0);
    transact(box, {cmd::Tester_Reset});
    const box_state &s = box.state();
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.mode_si, 1);
    EXPECT_EQ(s.param_si, 0);
    EXPECT_EQ(s.mode_so, 1);
    EXPECT_EQ(s.param_so, 0);
    EXPECT_EQ(s.timer_param, 0);
    EXPECT_EQ(s.count_si, 0);
    EXPECT_EQ(s.count_so, 0);
    EXPECT_EQ(s.event_flag, 0);
    EXPECT_EQ(s.event_count, 0);
    EXPECT_EQ(s.words_so[0], 0x01020304u);
    EXPECT_EQ(s.words_si[0], 0x01020304u);  // the loopback frame
}

class SimBoxLoopback : public ::testing::Test {
  protected:
    // The self-test's settings: output length 64, distinct words on the output side, 0x5A5A5A5A
    // on the input side.
    void load(box_model &box)
    {
        transact(box, {cmd::Set_SO_Mod1, 63});
        for (int i = 0; i < 256; ++i) {
            const auto idx = static_cast<unsigned char>(i);
            transact(box, {cmd::Put_ArincWordSO, idx, 0x12, 0x34, 0x56, idx});
            transact(box, {cmd::Put_ArincWordSI, idx, 0x5A, 0x5A, 0x5A, 0x5A});
        }
    }
};

TEST_F(SimBoxLoopback, BothSidesRunningCopyTheFirstNWords)
{
    box_model box(sim_test::instant_box());
    load(box);
    transact(box, {cmd::SSI});
    EXPECT_EQ(box.state().words_si[0], 0x5A5A5A5Au) << "one side alone moves nothing";
    transact(box, {cmd::SSO});
    for (unsigned i = 0; i < 64; ++i) EXPECT_EQ(box.state().words_si[i], 0x12345600u + i) << i;
    for (unsigned i = 64; i < 256; ++i) EXPECT_EQ(box.state().words_si[i], 0x5A5A5A5Au) << i;
    EXPECT_EQ(transact(box, {cmd::RD_Count_SI}), (bytes{cmd::RD_Count_SI, 64}));
    EXPECT_EQ(transact(box, {cmd::RD_Count_SO}), (bytes{cmd::RD_Count_SO, 64}));
    EXPECT_EQ(transact(box, {cmd::RD_Ivent_Flag}), (bytes{cmd::RD_Ivent_Flag, 1}));
    EXPECT_EQ(transact(box, {cmd::RD_Count_Ivent}), (bytes{cmd::RD_Count_Ivent, 1}));
    EXPECT_EQ(transact(box, {cmd::RD_RS}), (bytes{cmd::RD_RS, 0xC0}));
}

TEST_F(SimBoxLoopback, SwitchedOffMovesNoWord)
{
    box_config config = sim_test::instant_box();
    config.loopback = false;
    box_model box(config);
    load(box);
    transact(box, {cmd::SSO, cmd::SSI});
    for (unsigned i = 0; i < 256; ++i) EXPECT_EQ(box.state().words_si[i], 0x5A5A5A5Au) << i;
    EXPECT_EQ(box.state().count_si, 0);
    EXPECT_EQ(transact(box, {cmd::RD_RS}), (bytes{cmd::RD_RS, 0xC0}));
}

TEST_F(SimBoxLoopback, FullLengthFrameWrapsTheCounters)
{
    box_model box(sim_test::instant_box());
    load(box);
    transact(box, {cmd::Set_SO_Mod2, 0xFF, cmd::SSO, cmd::SSI});
    EXPECT_EQ(box.state().words_si[255], 0x123456FFu);
    // 256 words: the count byte wraps to 0, which the drivers read as 256.
    EXPECT_EQ(transact(box, {cmd::RD_Count_SI}), (bytes{cmd::RD_Count_SI, 0}));
}

// A whole self-test run against a healthy box: every command, with the bytes it must bring back.
TEST(SimBoxModel, HealthySelfTestRun)
{
    box_model box(sim_test::instant_box());
    struct step {
        bytes host;
        bytes answer;
    };
    std::vector<step> run = {
        {{cmd::Get_ID}, {box_id}},
        {{cmd::RD_RS}, {cmd::RD_RS, 0x00}},
        {{cmd::Set_SI, tester_encoding::set_si_param(0xF9)}, {cmd::Set_SI}},
        {{cmd::Set_SO, tester_encoding::set_so_param(0xCF)}, {cmd::Set_SO}},
        {{cmd::RD_RS}, {cmd::RD_RS, 0x2D}},
        {{cmd::Tester_Reset}, {cmd::Tester_Reset}},
        {{cmd::RD_RS}, {cmd::RD_RS, 0x00}},
        {{cmd::Set_SI_Mod2}, {cmd::Set_SI_Mod2}},
        {{cmd::RD_Mod_SI}, {cmd::RD_Mod_SI, 2}},
        {{cmd::Set_SI_Mod3, 0x15}, {cmd::Set_SI_Mod3}},
        {{cmd::RD_Mod_SI}, {cmd::RD_Mod_SI, 3}},
        {{cmd::RD_Param_SI}, {cmd::RD_Param_SI, 0x15}},
        {{cmd::Set_SI_Mod4, 0xAD}, {cmd::Set_SI_Mod4}},
        {{cmd::RD_Mod_SI}, {cmd::RD_Mod_SI, 4}},
        {{cmd::RD_Param_SI}, {cmd::RD_Param_SI, 0xAD}},
        {{cmd::Set_SI_Mod1}, {cmd::Set_SI_Mod1}},
        {{cmd::RD_Mod_SI}, {cmd::RD_Mod_SI, 1}},
        {{cmd::Set_SO_Mod2, tester_encoding::length_param(0x80)}, {cmd::Set_SO_Mod2}},
        {{cmd::RD_Mod_SO}, {cmd::RD_Mod_SO, 2}},
        {{cmd::RD_Param_SO}, {cmd::RD_Param_SO, 0x7F}},
        {{cmd::Set_SO_Mod1, tester_encoding::length_param(0x40)}, {cmd::Set_SO_Mod1}},
        {{cmd::RD_Mod_SO}, {cmd::RD_Mod_SO, 1}},
        {{cmd::RD_Param_SO}, {cmd::RD_Param_SO, 0x3F}},
    };
    for (int i = 0; i < 256; ++i) {
        const auto idx = static_cast<unsigned char>(i);
        run.push_back({{cmd::Put_ArincWordSO, idx, 0x12, 0x34, 0x56, idx}, {cmd::Put_ArincWordSO}});
    }
    for (int i = 0; i < 256; ++i) {
        const auto idx = static_cast<unsigned char>(i);
        run.push_back(
            {{cmd::Put_ArincWordSI, idx, 0x5A, 0x5A, 0x5A, 0x5A}, {cmd::Put_ArincWordSI}});
    }
    run.push_back({{cmd::WR_Timer_Param, 5}, {cmd::WR_Timer_Param}});
    run.push_back({{cmd::SSI}, {cmd::SSI}});
    run.push_back({{cmd::SSO}, {cmd::SSO}});
    for (int i = 0; i < 256; ++i) {
        const auto idx = static_cast<unsigned char>(i);
        run.push_back({{cmd::Get_ArincWordSO, idx}, {cmd::Get_ArincWordSO, 0x12, 0x34, 0x56, idx}});
    }
    for (int i = 9; i <= 15; ++i) {
        const auto idx = static_cast<unsigned char>(i);
        run.push_back({{cmd::Get_ArincWordSI, idx}, {cmd::Get_ArincWordSI, 0x12, 0x34, 0x56, idx}});
    }
    for (int i = 64; i <= 255; ++i) {
        const auto idx = static_cast<unsigned char>(i);
        run.push_back(
            {{cmd::Get_ArincWordSI, idx}, {cmd::Get_ArincWordSI, 0x5A, 0x5A, 0x5A, 0x5A}});
    }
    run.push_back({{cmd::RD_Timer}, {cmd::RD_Timer, 0x00, 0x5A}});
    run.push_back({{cmd::RD_RS}, {cmd::RD_RS, 0xC0}});  // both sides run: bit 6 set, so SSI
    run.push_back({{cmd::SSI}, {cmd::SSI}});
    run.push_back({{cmd::SSO}, {cmd::SSO}});
    run.push_back({{cmd::RD_Count_SI}, {cmd::RD_Count_SI, 64}});
    run.push_back({{cmd::RD_Count_SO}, {cmd::RD_Count_SO, 64}});

    for (std::size_t i = 0; i < run.size(); ++i)
        ASSERT_EQ(transact(box, run[i].host), run[i].answer) << "command " << i;
    EXPECT_EQ(box.state().status, 0);
}

}  // namespace
