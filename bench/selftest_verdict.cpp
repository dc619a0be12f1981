#include "selftest_verdict.h"

#include <sys/wait.h>

#include <stdexcept>

namespace bench {

bool selftest_passed(const std::string &transcript, const std::string &last_box)
{
    if (transcript.find(" ErrNum = ") != std::string::npos) return false;
    const std::string ending = last_box + "\n";
    return transcript.size() >= ending.size() &&
           transcript.compare(transcript.size() - ending.size(), ending.size(), ending) == 0;
}

void require_passed(const std::string &program, int wait_status, const std::string &transcript,
                    const std::string &last_box)
{
    // The self-test exits with 0 whatever it found, so only its boxes tell.
    if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == 0 &&
        selftest_passed(transcript, last_box)) {
        return;
    }
    throw std::runtime_error(program + " did not pass against the simulated box:\n" + transcript);
}

}  // namespace bench
