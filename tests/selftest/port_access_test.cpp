// selftest_port when the kernel refuses the UART's ports, and when the port
// primitives library lacks an operation, through stand-in backends found first
// on the library search path.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "expected_transcript.h"
#include "program_run.h"
#include "transcript_check.h"

namespace {

constexpr std::chrono::seconds run_limit{120};

struct Refusal {
    const char *name;
    int error;
    const char *box;
};

void PrintTo(const Refusal &refusal, std::ostream *os) { *os << refusal.name; }

class SelftestPortAccess : public ::testing::TestWithParam<Refusal> {};

TEST_P(SelftestPortAccess, RefusalIsExplainedAndNoPortIsTouched)
{
    ProgramRun run = run_program({SELFTEST_PORT_PATH},
                                 {{"LD_LIBRARY_PATH", REFUSING_BACKEND_DIR},
                                  {"REFUSED_PORT_GRANT", std::to_string(GetParam().error)}},
                                 run_limit);
    EXPECT_TRUE(shows_boxes(run, {{"[DLL version] 2.0"}, {GetParam().box}}));
    EXPECT_TRUE(ended_with_status_zero(run));
}

INSTANTIATE_TEST_SUITE_P(
    SelftestPortRefusals, SelftestPortAccess,
    ::testing::Values(
        Refusal{"NoPrivilege", EPERM,
                "[error] port access to 0x3F8-0x3FF refused: needs root or CAP_SYS_RAWIO"},
        Refusal{"KernelWithoutIoperm", ENOSYS,
                "[error] port access to 0x3F8-0x3FF refused: this kernel has no ioperm (ENOSYS)"},
        Refusal{"OtherError", EIO,
                "[error] port access to 0x3F8-0x3FF refused: Input/output error"}),
    [](const ::testing::TestParamInfo<Refusal> &param_info) { return param_info.param.name; });

// Bound at load time: the program never starts, so not even the version box shows.
TEST(SelftestPortBinding, MissingOperationStopsTheProgramAtLoad)
{
    ProgramRun run = run_program({SELFTEST_PORT_PATH},
                                 {{"LD_LIBRARY_PATH", BACKEND_WITHOUT_GRANT_DIR}}, run_limit);
    ASSERT_FALSE(run.timed_out);
    EXPECT_TRUE(run.lines().empty()) << "first box: " << run.lines().front();
    EXPECT_NE(run.exit_status, 0);
    EXPECT_NE(run.errors.find("tester_port_grant"), std::string::npos) << run.errors;
}

}  // namespace
