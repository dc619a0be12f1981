// Whether a self-test transcript shows a passing run.
#pragma once

#include <string>

namespace bench {

// A passing run reports no failing step and ends with `last_box`, e.g.
// "[success] CloseHandle".
bool selftest_passed(const std::string &transcript, const std::string &last_box);

// Throws std::runtime_error carrying the transcript unless the run passed.
void require_passed(const std::string &program, int wait_status, const std::string &transcript,
                    const std::string &last_box);

}  // namespace bench
