#include <gtest/gtest.h>

#include "program_run.h"

namespace {

TEST(SelftestWinMainEntry, PassesTheArgumentsAsCommandLineAndReturnsWinMainsStatus)
{
    ProgramRun run = run_program({WINMAIN_PROBE_PATH, "a b", "c"}, {}, std::chrono::seconds(60));
    ASSERT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_status, 42);
    EXPECT_EQ(run.lines(), std::vector<std::string>{"a b c"});
}

}  // namespace
