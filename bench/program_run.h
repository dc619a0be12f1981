// Runs a program to its end with standard input at end of file, as a scripted
// self-test run is, and keeps what it wrote to standard output.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace bench {

struct ProgramRun {
    int wait_status;  // as from waitpid
    double wall_us;   // from start to exit
    double cpu_us;    // the program's user + system time
    std::string output;
};

using EnvironmentChanges = std::vector<std::pair<std::string, std::string>>;

// The program gets this process's environment with `changes` set. Throws
// std::runtime_error when it cannot be started.
ProgramRun run_program(const std::string &path, const EnvironmentChanges &changes);

// The directory this program was started from, where the self-test programs lie.
std::string own_directory();

}  // namespace bench
