// CPU time of the calling thread: what a driver call costs, without the
// simulator's thread that serves the box in the same process.
#pragma once

#include <time.h>

namespace bench {

inline double thread_cpu_us()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

}  // namespace bench
