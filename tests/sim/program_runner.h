// Runs a program to its end and keeps what it printed.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace sim_test {

struct program_result {
    int status = -1;  // exit status, or 128 + n when signal n ended it
    std::string out;
    std::string err;
};

// The first word is the program's path. Fails the test (status -1) if it runs past `limit`.
program_result run_program(const std::vector<std::string> &args,
                           std::chrono::seconds limit = std::chrono::seconds(60));

// The first line of a text, without its newline.
std::string first_line(const std::string &text);

}  // namespace sim_test

namespace sim_test {

// A program left running, its standard error on a pipe, until stop() or the destructor.
class background_program {
  public:
    explicit background_program(const std::vector<std::string> &args);
    ~background_program();
    background_program(const background_program &) = delete;
    background_program &operator=(const background_program &) = delete;

    // The next line of its standard error, or "" if none came within `wait`.
    std::string error_line(std::chrono::milliseconds wait);
    // Sends the signal and returns the exit status as run_program does.
    int stop(int signal);

  private:
    int pid_ = -1;
    int err_ = -1;
    std::string pending_;
};

}  // namespace sim_test
