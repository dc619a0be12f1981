// The tester-sim program as a test runs it: left running in the background.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace sim_test {

// The first line of a text, without its newline.
std::string first_line(const std::string &text);

// A program left running, its standard error on a pipe, until stop() or the destructor.
class background_program {
  public:
    explicit background_program(const std::vector<std::string> &args);
    ~background_program();
    background_program(const background_program &) = delete;
    background_program &operator=(const background_program &) = delete;

    // The next line of its standard error, or "" if none came within `wait`.
    std::string error_line(std::chrono::milliseconds wait);
    // Sends the signal and returns the exit status as a shell reports it (128 + n for signal n).
    int stop(int signal);

  private:
    int pid_ = -1;
    int err_ = -1;
    std::string pending_;
};

}  // namespace sim_test
