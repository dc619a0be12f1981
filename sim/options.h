// The simulator's options, shared by every front end: the words of the tester-sim command
// line, or the same words in one string (TESTER_SIM_OPTIONS for the virtual UART).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "box_model.h"
#include "faults.h"

namespace tester_sim {

struct sim_options {
    box_config box;
    std::vector<fault> faults;
    std::string log_target;  // empty: no traffic log; "-": standard error; else a file
};

constexpr const char *options_variable = "TESTER_SIM_OPTIONS";

// Takes the option at words[next] and its value, and moves next past them. Returns false
// with a one-line message naming what is wrong (an unknown option included).
bool parse_option(const std::vector<std::string> &words, std::size_t &next, sim_options &options,
                  std::string &error);

// Every word must be an option.
std::optional<sim_options> parse_options(const std::vector<std::string> &words, std::string &error);

// The same, from one string of blank-separated words.
std::optional<sim_options> parse_options(std::string_view text, std::string &error);

}  // namespace tester_sim
