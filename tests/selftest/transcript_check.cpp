#include "transcript_check.h"

#include <algorithm>
#include <string>

namespace {

std::string shown(const ProgramRun &run)
{
    std::string text = "\nthe run showed:\n";
    const std::vector<std::string> lines = run.lines();
    for (size_t i = 0; i < lines.size(); ++i) {
        text += "  " + std::to_string(i + 1) + ": [" + lines[i] + "]\n";
    }
    if (!run.errors.empty()) text += "standard error:\n" + run.errors;
    return text;
}

}  // namespace

::testing::AssertionResult shows_boxes(const ProgramRun &run, const Transcript &expected)
{
    if (run.timed_out) return ::testing::AssertionFailure() << "the run did not end" << shown(run);
    const std::vector<std::string> lines = run.lines();
    size_t common = std::min(lines.size(), expected.size());
    for (size_t i = 0; i < common; ++i) {
        if (!matches(expected[i], lines[i])) {
            return ::testing::AssertionFailure()
                   << "box " << i + 1 << " is [" << lines[i] << "], expected [" << expected[i].line
                   << (expected[i].any_handle ? "<handle>" : "") << "]" << shown(run);
        }
    }
    if (lines.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << lines.size() << " boxes, expected " << expected.size() << shown(run);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ended_with_status_zero(const ProgramRun &run)
{
    if (run.exit_status == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "exit status " << run.exit_status << shown(run);
}
