// The port primitives of this program: a virtual 16550 and box model in this
// process, with every register access counted. The UART's clock advances 1 us an
// access, so the counts are also its time.
#pragma once

#include <cstdint>

#include "options.h"

namespace bench {

struct RegisterCounts {
    std::uint64_t reads = 0;
    std::uint64_t writes = 0;
};

// Plugged in behind tester_port_in/tester_port_out while it exists; one at a time.
class CountedUart {
  public:
    explicit CountedUart(const tester_sim::sim_options &options);
    ~CountedUart();
    CountedUart(const CountedUart &) = delete;
    CountedUart &operator=(const CountedUart &) = delete;

    RegisterCounts counts() const;
};

}  // namespace bench
