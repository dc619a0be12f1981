#include "transcript_check.h"

#include <algorithm>
#include <string>

namespace {

std::string shown(const ProgramRun &run)
{
    std::string text = "\nthe run showed:\n";
    for (size_t i = 0; i < run.lines.size(); ++i) {
        text += "  " + std::to_string(i + 1) + ": [" + run.lines[i] + "]\n";
    }
    if (!run.errors.empty()) text += "standard error:\n" + run.errors;
    return text;
}

}  // namespace

::testing::AssertionResult shows_boxes(const ProgramRun &run, const Transcript &expected)
{
    if (run.timed_out) return ::testing::AssertionFailure() << "the run did not end" << shown(run);
    size_t common = std::min(run.lines.size(), expected.size());
    for (size_t i = 0; i < common; ++i) {
        if (!matches(expected[i], run.lines[i])) {
            return ::testing::AssertionFailure()
                   << "box " << i + 1 << " is [" << run.lines[i] << "], expected ["
                   << expected[i].line << (expected[i].any_handle ? "<handle>" : "") << "]"
                   << shown(run);
        }
    }
    if (run.lines.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << run.lines.size() << " boxes, expected " << expected.size() << shown(run);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ended_with_status_zero(const ProgramRun &run)
{
    if (run.exit_status == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "exit status " << run.exit_status << " (-1: killed)" << shown(run);
}
