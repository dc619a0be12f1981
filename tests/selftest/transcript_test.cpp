// Both builds of the self-test against the simulated box, faults chosen on the
// simulator's command line: selftest_w2k over a pseudo-terminal, selftest_port
// over the virtual UART.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_transcript.h"
#include "program_run.h"
#include "transcript_check.h"

namespace {

// Silent reads wait out the driver's limits (up to 3 s each): generous for a busy machine.
constexpr std::chrono::seconds run_limit{300};

constexpr Build serial = Build::serial;
constexpr Build port_io = Build::port_io;

// Empty when that build is not made on this machine (the port build needs x86).
std::string program(Build build)
{
    return build == serial ? SELFTEST_W2K_PATH : SELFTEST_PORT_PATH;
}

ProgramRun run_against_simulator(Build build, const std::vector<std::string> &sim_options)
{
    std::vector<std::string> argv = {TESTER_SIM_PATH};
    if (build == port_io) argv.push_back("--port-io");
    argv.insert(argv.end(), sim_options.begin(), sim_options.end());
    argv.push_back("--");
    argv.push_back(program(build));
    return run_program(argv, {}, run_limit);
}

struct Scenario {
    const char *name;
    Build build;
    std::vector<std::string> sim_options;
    Transcript boxes;
};

void PrintTo(const Scenario &scenario, std::ostream *os) { *os << scenario.name; }

class SelftestTranscript : public ::testing::TestWithParam<Scenario> {};

TEST_P(SelftestTranscript, ShowsTheBoxesOfTheRun)
{
    const Scenario &scenario = GetParam();
    if (program(scenario.build).empty()) GTEST_SKIP() << "this build is not made here";
    ProgramRun run = run_against_simulator(scenario.build, scenario.sim_options);
    EXPECT_TRUE(shows_boxes(run, scenario.boxes));
    EXPECT_TRUE(ended_with_status_zero(run));
}

// Words the input side holds at 9 to 15: the output side looped them back.
Transcript loop_d_boxes_up_to(int last_index)
{
    Transcript boxes;
    for (int work1 = 9; work1 <= last_index; ++work1) {
        boxes.push_back(word_box(0x12345600UL + static_cast<unsigned long>(work1), work1));
    }
    return boxes;
}

INSTANTIATE_TEST_SUITE_P(
    SelftestW2k, SelftestTranscript,
    ::testing::Values(
        // Both sides were started, so the status shows them running: 46 boxes.
        Scenario{"Passing", serial, {}, passing_run(serial, 0xE4)},
        // Only bit 6 decides whether step 39 stops the input side.
        Scenario{"PassingWithOnlyInputSideRunning",
                 serial,
                 {"--fault", "status=0x40@RD_RS#4"},
                 passing_run(serial, 0x40)},
        Scenario{"PassingWithInputSideStopped",
                 serial,
                 {"--fault", "status=0xA4@RD_RS#4"},
                 passing_run(serial, 0xA4)},
        // The driver reports the silence; the identification byte stays as cleared.
        Scenario{"SilentBox",
                 serial,
                 {"--fault", "silent"},
                 boxes_before_step(serial, 1) + Transcript{{"[success]  Get_ID = 0h"}} +
                     failure_report(serial, 1, 99)},
        Scenario{"IdentificationByteZero",
                 serial,
                 {"--fault", "answer=0@Get_ID"},
                 boxes_before_step(serial, 1) + Transcript{{"[success]  Get_ID = 0h"}} +
                     failure_report(serial, 1, 0)},
        Scenario{"StatusRegister0BAtStep5",
                 serial,
                 {"--fault", "status=0x0B@RD_RS#2"},
                 boxes_before_step(serial, 5) + Transcript{{"[]  RD_RS = bh (9h)"}} +
                     failure_report(serial, 5, 0)},
        Scenario{"NoEchoOfTesterReset",
                 serial,
                 {"--fault", "silent@Tester_Reset"},
                 boxes_before_step(serial, 6) + failure_report(serial, 6, 99)},
        Scenario{"StatusAfterResetNot24",
                 serial,
                 {"--fault", "status=0x25@RD_RS#3"},
                 boxes_before_step(serial, 7) + Transcript{{"[]  RD_RS = 25h (24h)"}} +
                     failure_report(serial, 7, 0)},
        Scenario{"InputSideMode5AtStep11",
                 serial,
                 {"--fault", "answer=5@RD_Mod_SI#2"},
                 boxes_before_step(serial, 11) + Transcript{{"[]  RD_Mod_SI  = 5h (3h)"}} +
                     failure_report(serial, 11, 0)},
        Scenario{"WrongEchoOfSetSoMod1",
                 serial,
                 {"--fault", "echo=0x00@Set_SO_Mod1"},
                 boxes_before_step(serial, 21) + failure_report(serial, 21, 4)},
        Scenario{"OutputWordPutFailsAtIndexFF",
                 serial,
                 {"--fault", "silent@Put_ArincWordSO#256"},
                 boxes_before_step(serial, 24) + Transcript{{"[]  Put_ArincWordSO = ffh "}} +
                     failure_report(serial, 24, 99)},
        Scenario{"OutputWordAtIndex16ReadsZero",
                 serial,
                 {"--fault", "answer=0@Get_ArincWordSO:16"},
                 boxes_before_step(serial, 29) + Transcript{word_box(0, 16)} +
                     failure_report(serial, 29, 77)},
        Scenario{"OutputWordReadFailsAtIndex3",
                 serial,
                 {"--fault", "silent@Get_ArincWordSO:3"},
                 boxes_before_step(serial, 29) + Transcript{word_box(0, 3)} +
                     failure_report(serial, 29, 99)},
        Scenario{"InputWordAtIndex64ReadsZero",
                 serial,
                 {"--fault", "answer=0@Get_ArincWordSI:64"},
                 boxes_before_step(serial, 30) + loop_d_boxes_up_to(15) +
                     failure_report(serial, 30, 78)},
        // codIntL is not cleared before the read, so the box shows what index 11 left.
        Scenario{"InputWordReadFailsAtIndex12",
                 serial,
                 {"--fault", "silent@Get_ArincWordSI:12"},
                 boxes_before_step(serial, 30) + loop_d_boxes_up_to(11) +
                     Transcript{word_box(0x1234560B, 12)} + failure_report(serial, 30, 99)},
        Scenario{"PortThatCannotBeOpened",
                 serial,
                 {"--refuse-open"},
                 {{"[DLL version] 2.1"}, {"[error] hComm"}}},
        Scenario{"StatusReadFailsAtStep38",
                 serial,
                 {"--fault", "silent@RD_RS#4"},
                 boxes_before_step(serial, 38) + failure_report(serial, 38, 99)}),
    [](const ::testing::TestParamInfo<Scenario> &param_info) { return param_info.param.name; });

// The port driver tells a missing reply (TESTER_E_NO_DATA, 2) from a missing
// echo (TESTER_E_TIMEOUT, 99), and the port build has no link to close.
INSTANTIATE_TEST_SUITE_P(
    SelftestPort, SelftestTranscript,
    ::testing::Values(
        Scenario{"Passing", port_io, {}, passing_run(port_io, 0xE4)},
        Scenario{"PassingWithInputSideStopped",
                 port_io,
                 {"--fault", "status=0xA4@RD_RS#4"},
                 passing_run(port_io, 0xA4)},
        Scenario{"SilentBox",
                 port_io,
                 {"--fault", "silent"},
                 boxes_before_step(port_io, 1) + Transcript{{"[success]  Get_ID = 0h"}} +
                     failure_report(port_io, 1, 2)},
        Scenario{"StatusRegister0BAtStep5",
                 port_io,
                 {"--fault", "status=0x0B@RD_RS#2"},
                 boxes_before_step(port_io, 5) + Transcript{{"[]  RD_RS = bh (9h)"}} +
                     failure_report(port_io, 5, 0)},
        Scenario{"NoEchoOfTesterReset",
                 port_io,
                 {"--fault", "silent@Tester_Reset"},
                 boxes_before_step(port_io, 6) + failure_report(port_io, 6, 99)},
        Scenario{"OutputWordAtIndex16ReadsZero",
                 port_io,
                 {"--fault", "answer=0@Get_ArincWordSO:16"},
                 boxes_before_step(port_io, 29) + Transcript{word_box(0, 16)} +
                     failure_report(port_io, 29, 77)},
        Scenario{"InputWordAtIndex64ReadsZero",
                 port_io,
                 {"--fault", "answer=0@Get_ArincWordSI:64"},
                 boxes_before_step(port_io, 30) + loop_d_boxes_up_to(15) +
                     failure_report(port_io, 30, 78)},
        Scenario{"InputWordReadFailsAtIndex12",
                 port_io,
                 {"--fault", "silent@Get_ArincWordSI:12"},
                 boxes_before_step(port_io, 30) + loop_d_boxes_up_to(11) +
                     Transcript{word_box(0x1234560B, 12)} + failure_report(port_io, 30, 2)}),
    [](const ::testing::TestParamInfo<Scenario> &param_info) { return param_info.param.name; });

TEST(SelftestSerialOpening, PortThatCannotBeOpenedEndsTheRunBeforeStep1)
{
    ProgramRun run = run_program({SELFTEST_W2K_PATH}, {{"COM1", "/nonexistent"}}, run_limit);
    EXPECT_TRUE(shows_boxes(run, {{"[DLL version] 2.1"}, {"[error] hComm"}}));
    EXPECT_TRUE(ended_with_status_zero(run));
}

}  // namespace
