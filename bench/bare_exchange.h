// Each family's bytes exchanged with nothing but write(), poll() and read() on
// the line, in the order the driver puts them there and waking for every byte
// the box sends as the driver does: the CPU the operating system takes for the
// exchange by itself, the floor under the driver's figure.
#pragma once

#include <string>
#include <vector>

#include "operation_families.h"

namespace bench {

struct BareFigures {
    double cpu_us;   // CPU time of the calling thread per call
    double wall_us;  // wall time per call
};

// Every family in kFamilies order on the tty `device`, `iterations` calls each.
// Throws std::runtime_error when the line cannot be opened or the box does not answer.
std::vector<BareFigures> bench_bare_exchanges(const std::string &device, unsigned iterations);

}  // namespace bench
