// The boxes a self-test run shows against the simulated box, built from the
// steps, so that each test states only where its run departs from a healthy one.
#pragma once

#include <string>
#include <vector>

enum class Build { serial, port_io };

// One box as its line on standard output. The serial build's " hComm = %d" shows
// whatever handle the platform gave, so that box is matched by its form.
struct ExpectedBox {
    std::string line;
    bool any_handle = false;
};

using Transcript = std::vector<ExpectedBox>;

// A whole passing run; `status_at_step_38` is the RD_RS value the box gives
// there (step 39 runs only when its bit 6 is set).
Transcript passing_run(Build build, unsigned char status_at_step_38);

// The boxes of a run whose steps before `step` (38 at most) passed: the
// opening, then theirs.
Transcript boxes_before_step(Build build, int step);

// The failure report and, in the serial build, the closing of the link.
Transcript failure_report(Build build, int err_num, int ret_vol);

// The box of a word read in the word loops.
ExpectedBox word_box(unsigned long codIntL, int work1);

Transcript operator+(Transcript first, const Transcript &second);

bool matches(const ExpectedBox &expected, const std::string &line);
