// The tester-sim program: running a command against the box, serving, and its errors.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "program_run.h"
#include "program_runner.h"
#include "raw_line.h"
#include "tester_commands.h"

namespace {

using namespace std::chrono_literals;
using sim_test::first_line;

const std::string sim = TESTER_SIM_PATH;

// A shell client: opens COM1, sends one RD_RS and prints the two bytes back in hex.
const std::string read_status =
    "exec 3<>\"$COM1\"; printf '\\004' >&3; dd bs=1 count=2 <&3 2>/dev/null | od -An -tx1";

TEST(SimProgram, RunsTheCommandWithCom1AndReturnsItsStatus)
{
    const auto r = run_program({sim, "--", "/bin/sh", "-c", "echo \"$COM1\"; exit 7"});
    EXPECT_EQ(r.exit_status, 7);
    EXPECT_EQ(r.out.rfind("/dev/pts/", 0), 0u) << r.out;
    EXPECT_EQ(first_line(r.errors), "tester-sim: listening on " + first_line(r.out) +
                                        " (COM1=" + first_line(r.out) + ")");
}

TEST(SimProgram, TheCommandTalksToTheBox)
{
    const auto r = run_program({sim, "--pacing", "off", "--", "/bin/sh", "-c", read_status});
    EXPECT_EQ(r.exit_status, 0) << r.errors;
    EXPECT_EQ(r.out, " 04 00\n");
}

TEST(SimProgram, FaultsFromTheCommandLine)
{
    const auto r = run_program({sim, "--fault", "status=0x0B@RD_RS", "--fault", "noise=0x7E@#2",
                                "--", "/bin/sh", "-c", read_status + "; " + read_status});
    EXPECT_EQ(r.exit_status, 0) << r.errors;
    EXPECT_EQ(r.out, " 04 2b\n 7e 04\n");
}

TEST(SimProgram, SignalThatEndsTheCommandGivesItsNumberPlus128)
{
    const auto r = run_program({sim, "--", "/bin/sh", "-c", "kill -TERM $$"});
    EXPECT_EQ(r.exit_status, 128 + SIGTERM);
}

TEST(SimProgram, CommandThatCannotRun)
{
    const auto r = run_program({sim, "--", "/no/such/program"});
    EXPECT_EQ(r.exit_status, 127);
    EXPECT_NE(r.errors.find("tester-sim: cannot run /no/such/program: No such file or directory"),
              std::string::npos)
        << r.errors;
}

TEST(SimProgram, TrafficLogToAFile)
{
    const std::string log = ::testing::TempDir() + "sim_program_log.txt";
    const auto r =
        run_program({sim, "--pacing", "off", "--log", log, "--", "/bin/sh", "-c", read_status});
    EXPECT_EQ(r.exit_status, 0) << r.errors;
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("host->box  04  RD_RS\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("box->host  00  (reply)\n"), std::string::npos) << text.str();
    std::remove(log.c_str());
}

TEST(SimProgram, RefusedPortCannotBeOpened)
{
    const auto r = run_program(
        {sim, "--refuse-open", "--", "/bin/sh", "-c", "exec 3<>\"$COM1\" && echo opened"});
    EXPECT_NE(r.exit_status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.errors.find("refuses to be opened"), std::string::npos) << r.errors;
}

TEST(SimProgram, PortIoRunsTheCommandWithTheBoxOptions)
{
    const auto r =
        run_program({sim, "--port-io", "--pacing", "off", "--fault", "answer=5@RD_Mod_SI#2", "--",
                     "/bin/sh", "-c", "echo \"$TESTER_SIM_OPTIONS\"; echo \"$LD_LIBRARY_PATH\""});
    EXPECT_EQ(r.exit_status, 0) << r.errors;
    const std::string bin_dir = sim.substr(0, sim.rfind('/'));
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "--pacing off --fault answer=5@RD_Mod_SI#2\n");
    EXPECT_EQ(r.out.find(bin_dir + "/../lib/sim", r.out.find('\n')), r.out.find('\n') + 1) << r.out;
}

TEST(SimProgram, ServesUntilStopped)
{
    for (int sig : {SIGINT, SIGTERM}) {
        sim_test::background_program program({sim, "--pacing", "off"});
        const std::string line = program.error_line(10s);
        const std::string prefix = "tester-sim: listening on ";
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        const std::string path =
            line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size());
        {
            sim_test::raw_line client(path);
            client.send({tester_cmd::Get_ID});
            EXPECT_EQ(client.receive(1, 2s).size(), 1u);
        }
        EXPECT_EQ(program.stop(sig), 0);
    }
}

TEST(SimProgram, HelpDocumentsEveryOptionAndFault)
{
    const auto r = run_program({sim, "--help"});
    EXPECT_EQ(r.exit_status, 0);
    for (const char *word : {"--device", "--refuse-open", "--port-io",   "--fault",   "--pacing",
                             "--rate",   "--turnaround",  "--loopback",  "--log",     "--help",
                             "silent",   "echo=",         "echo-delay=", "noise=",    "delay=",
                             "split=",   "short=",        "answer=",     "set=",      "clear=",
                             "status=",  "vanish",        "stall",       "CMD:INDEX", "CMD#N",
                             "#N",       "Exit status"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
}

struct bad_command_line {
    std::vector<std::string> args;
    const char *message;
};

class SimProgramUsage : public ::testing::TestWithParam<bad_command_line> {};

TEST_P(SimProgramUsage, ExitsWithTwoAndOneLineNamingTheProblem)
{
    std::vector<std::string> args = {sim};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const auto r = run_program(args);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.errors, std::string("tester-sim: ") + GetParam().message + "\n");
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    SimBad, SimProgramUsage,
    ::testing::Values(bad_command_line{{"--bogus"}, "unknown option \"--bogus\""},
                      bad_command_line{{"--pacing", "maybe"},
                                       "option --pacing: \"maybe\" is not on or off"},
                      bad_command_line{{"--fault", "answer=1@Set_SI"},
                                       "fault \"answer=1@Set_SI\": Set_SI has no reply"},
                      bad_command_line{{"--device"}, "option --device needs a value"},
                      bad_command_line{{"--port-io"}, "--port-io needs a command (-- COMMAND)"},
                      bad_command_line{{"--refuse-open", "--device", "/dev/null"},
                                       "--refuse-open needs a pseudo-terminal, not --device"},
                      bad_command_line{{"--"}, "-- needs a command after it"}));

TEST(SimProgram, DeviceThatCannotBeOpenedExitsWithOne)
{
    const auto r = run_program({sim, "--device", "/dev/no-such-tester-line", "--", "/bin/true"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.errors,
              "tester-sim: cannot open /dev/no-such-tester-line: No such file or directory\n");
}

}  // namespace
