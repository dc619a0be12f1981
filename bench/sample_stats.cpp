#include "sample_stats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace bench {

namespace {

double nearest_rank(const std::vector<double> &sorted, double fraction)
{
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * sorted.size()));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

}  // namespace

Spread spread_of(std::vector<double> samples)
{
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    const std::size_t half = samples.size() / 2;
    const double median =
        samples.size() % 2 == 1 ? samples[half] : (samples[half - 1] + samples[half]) / 2;
    return {median, nearest_rank(samples, 0.99)};
}

}  // namespace bench
