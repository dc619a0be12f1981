// Median and high percentiles of a set of timings.
#pragma once

#include <vector>

namespace bench {

struct Spread {
    double median = 0;
    double p99 = 0;
};

// Nearest-rank percentiles; the median of an even count is the mean of the two
// middle values. An empty set gives zeros.
Spread spread_of(std::vector<double> samples);

}  // namespace bench
