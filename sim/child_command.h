// Runs the command that tester-sim serves, and waits for it.
#pragma once

#include <signal.h>

#include <string>
#include <utility>
#include <vector>

namespace tester_sim {

// Starts argv with the given variables added to the environment, then waits for it. SIGINT,
// SIGTERM and SIGCHLD must be blocked in every thread of the caller; the child starts with
// child_mask. A SIGINT or SIGTERM that another process sends to tester-sim is passed on to the
// child (one from the terminal already reaches both). Returns the child's exit status, 128 + n when
// signal n ended it, or 127 when it could not be started (with a message on standard error).
int run_command(const std::vector<std::string> &argv,
                const std::vector<std::pair<std::string, std::string>> &environment,
                const sigset_t &child_mask);

}  // namespace tester_sim
