// Runs a program to its end and collects what it printed, for tests that judge
// a program by its output and exit status.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
    std::string out;       // standard output
    std::string errors;    // standard error
    int exit_status = -1;  // as a shell reports it: 128 + n when signal n ended it
    bool timed_out = false;

    // Standard output, one entry per line.
    std::vector<std::string> lines() const;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Standard input is /dev/null. `extra_environment` is added to (or replaces
// names in) this process's environment. A run that outlives `limit` is killed
// with its whole process group.
ProgramRun run_program(const std::vector<std::string> &argv,
                       const Environment &extra_environment = {},
                       std::chrono::seconds limit = std::chrono::seconds(60));
