// The fault descriptions and option words every front end shares.
#include <gtest/gtest.h>

#include "faults.h"
#include "options.h"
#include "tester_commands.h"

namespace {

using namespace tester_sim;
namespace cmd = tester_cmd;

struct good_fault {
    const char *text;
    fault_kind kind;
    std::optional<unsigned char> command;
    std::optional<unsigned char> index;
    unsigned occurrence;
    std::uint32_t value;
    std::uint64_t delay_us;
    std::vector<unsigned char> bytes;
};

class SimFaultParse : public ::testing::TestWithParam<good_fault> {};

TEST_P(SimFaultParse, ReadsEveryPart)
{
    const auto &c = GetParam();
    std::string error;
    const auto f = parse_fault(c.text, error);
    ASSERT_TRUE(f) << error;
    EXPECT_EQ(f->kind, c.kind);
    EXPECT_EQ(f->target.command, c.command);
    EXPECT_EQ(f->target.index, c.index);
    EXPECT_EQ(f->target.occurrence, c.occurrence);
    EXPECT_EQ(f->value, c.value);
    EXPECT_EQ(f->delay_us, c.delay_us);
    EXPECT_EQ(f->bytes, c.bytes);
    EXPECT_EQ(f->text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    SimGood, SimFaultParse,
    ::testing::Values(
        good_fault{"silent", fault_kind::silent, {}, {}, 0, 0, 0, {}},
        good_fault{"silent@0x04", fault_kind::silent, cmd::RD_RS, {}, 0, 0, 0, {}},
        good_fault{"silent@rd_rs", fault_kind::silent, cmd::RD_RS, {}, 0, 0, 0, {}},
        good_fault{"answer=0x0B@RD_RS#2", fault_kind::answer, cmd::RD_RS, {}, 2, 0x0B, 0, {}},
        good_fault{"status=0x0B@RD_RS#2", fault_kind::status, cmd::RD_RS, {}, 2, 0x0B, 0, {}},
        good_fault{"answer=0@Get_ArincWordSO:16",
                   fault_kind::answer,
                   cmd::Get_ArincWordSO,
                   16,
                   0,
                   0,
                   0,
                   {}},
        good_fault{"silent@Get_ArincWordSI:0x0C#3",
                   fault_kind::silent,
                   cmd::Get_ArincWordSI,
                   12,
                   3,
                   0,
                   0,
                   {}},
        good_fault{"echo=0x77@#5", fault_kind::wrong_echo, {}, {}, 5, 0, 0, {0x77}},
        good_fault{"noise=0xFF,19,0x00@Get_ID",
                   fault_kind::noise,
                   cmd::Get_ID,
                   {},
                   0,
                   0,
                   0,
                   {0xFF, 19, 0x00}},
        good_fault{"delay=600", fault_kind::reply_delay, {}, {}, 0, 0, 600000, {}},
        good_fault{"echo-delay=2@Set_SI", fault_kind::echo_delay, cmd::Set_SI, {}, 0, 0, 2000, {}},
        good_fault{"split=15@RD_Timer", fault_kind::split, cmd::RD_Timer, {}, 0, 1, 15000, {}},
        good_fault{"split=15,2@RD_Timer", fault_kind::split, cmd::RD_Timer, {}, 0, 2, 15000, {}},
        good_fault{"short=3@Get_ArincWordSO",
                   fault_kind::short_reply,
                   cmd::Get_ArincWordSO,
                   {},
                   0,
                   3,
                   0,
                   {}},
        good_fault{"set=0x40@RD_RS#4", fault_kind::set_bits, cmd::RD_RS, {}, 4, 0x40, 0, {}},
        good_fault{"clear=0x40@RD_RS#4", fault_kind::clear_bits, cmd::RD_RS, {}, 4, 0x40, 0, {}},
        good_fault{"vanish", fault_kind::vanish, {}, {}, 0, 0, 0, {}},
        good_fault{"vanish=7@SSI", fault_kind::vanish, cmd::SSI, {}, 0, 7, 0, {}},
        good_fault{"stall", fault_kind::stall, {}, {}, 0, 0, forever_us, {}},
        good_fault{"stall=30@Set_SO", fault_kind::stall, cmd::Set_SO, {}, 0, 0, 30000, {}}));

struct bad_fault {
    const char *text;
    const char *message_part;
};

class SimFaultParseError : public ::testing::TestWithParam<bad_fault> {};

TEST_P(SimFaultParseError, OneLineNamingTheProblem)
{
    const auto &c = GetParam();
    std::string error;
    EXPECT_FALSE(parse_fault(c.text, error));
    EXPECT_NE(error.find(c.message_part), std::string::npos) << error;
    EXPECT_NE(error.find(c.text), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    SimBad, SimFaultParseError,
    ::testing::Values(
        bad_fault{"quiet", "unknown fault \"quiet\""}, bad_fault{"silent=3", "takes no value"},
        bad_fault{"answer@RD_RS", "needs =VALUE"},
        bad_fault{"answer=0x100@RD_RS", "does not fit the 1-byte reply of RD_RS"},
        bad_fault{"answer=1@Set_SI", "Set_SI has no reply"},
        bad_fault{"short=2@RD_Timer", "short= must keep fewer"},
        bad_fault{"silent@RD_XX", "unknown command \"RD_XX\""},
        bad_fault{"silent@0x100", "unknown command"}, bad_fault{"silent@RD_RS#0", "occurrence"},
        bad_fault{"silent@RD_RS:3", "needs a word command"},
        bad_fault{"silent@Get_ArincWordSO:256", "index must be 0 to 255"},
        bad_fault{"echo=1@Get_ArincWordSO:3", "the echo goes before the index"},
        bad_fault{"echo=1@Get_ID", "Get_ID has no echo"},
        bad_fault{"status=0x0B@RD_Mod_SI", "RD_RS only"},
        bad_fault{"status=0x06@RD_RS", "field of 3"},
        bad_fault{"noise=1,,2", "noise must be bytes"}, bad_fault{"delay=abc", "delay must be"},
        bad_fault{"split=5,0", "split piece"}, bad_fault{"silent@", "empty target"}));

TEST(SimOptions, CommandLineWords)
{
    std::string error;
    const auto o =
        parse_options(std::vector<std::string>{"--fault", "silent@RD_RS", "--pacing", "off",
                                               "--turnaround", "120", "--loopback", "off", "--rate",
                                               "9600", "--log", "-", "--fault", "delay=5"},
                      error);
    ASSERT_TRUE(o) << error;
    EXPECT_FALSE(o->box.pacing);
    EXPECT_FALSE(o->box.loopback);
    EXPECT_EQ(o->box.turnaround_us, 120u);
    EXPECT_EQ(o->box.bit_rate, 9600u);
    EXPECT_EQ(o->log_target, "-");
    ASSERT_EQ(o->faults.size(), 2u);
    EXPECT_EQ(o->faults[0].kind, fault_kind::silent);
    EXPECT_EQ(o->faults[1].kind, fault_kind::reply_delay);
}

TEST(SimOptions, DefaultsAreAHealthyPacedBox)
{
    std::string error;
    const auto o = parse_options(std::string_view(""), error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->box.pacing);
    EXPECT_TRUE(o->box.loopback);
    EXPECT_EQ(o->box.bit_rate, 115200u);
    EXPECT_TRUE(o->faults.empty());
    EXPECT_TRUE(o->log_target.empty());
}

TEST(SimOptions, OneStringOfBlankSeparatedWords)
{
    std::string error;
    const auto o =
        parse_options(std::string_view("  --pacing off\t--fault answer=5@RD_Mod_SI#2 "), error);
    ASSERT_TRUE(o) << error;
    EXPECT_FALSE(o->box.pacing);
    ASSERT_EQ(o->faults.size(), 1u);
    EXPECT_EQ(o->faults[0].target.occurrence, 2u);
}

TEST(SimOptions, ParseOptionLeavesOtherWordsToTheFrontEnd)
{
    const std::vector<std::string> words = {"--pacing", "off", "--device", "/dev/ttyS0"};
    sim_options o;
    std::string error;
    std::size_t next = 0;
    ASSERT_TRUE(parse_option(words, next, o, error)) << error;
    EXPECT_EQ(next, 2u);
    EXPECT_FALSE(parse_option(words, next, o, error));
    EXPECT_EQ(next, 2u);
    EXPECT_EQ(error, "unknown option \"--device\"");
}

struct bad_words {
    std::vector<std::string> words;
    const char *message;
};

class SimOptionsError : public ::testing::TestWithParam<bad_words> {};

TEST_P(SimOptionsError, OneLineNamingTheProblem)
{
    std::string error;
    EXPECT_FALSE(parse_options(GetParam().words, error));
    EXPECT_EQ(error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    SimBad, SimOptionsError,
    ::testing::Values(
        bad_words{{"--pacing"}, "option --pacing needs a value"},
        bad_words{{"--pacing", "yes"}, "option --pacing: \"yes\" is not on or off"},
        bad_words{{"--turnaround", "-1"},
                  "option --turnaround: \"-1\" is not a number of microseconds from 0 to 10000000"},
        bad_words{{"--rate", "0"}, "option --rate: \"0\" is not a bit rate from 50 to 10000000"},
        bad_words{{"--fault", "nap"},
                  "fault \"nap\": unknown fault \"nap\" (one of silent, echo, echo-delay, noise, "
                  "delay, split, short, answer, set, clear, status, vanish, stall)"},
        bad_words{{"fault"}, "unknown option \"fault\""}));

}  // namespace
