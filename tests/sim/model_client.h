// Drives a box model the way a host would, for the model tests.
#pragma once

#include <cstdint>
#include <vector>

#include "box_model.h"
#include "faults.h"

namespace sim_test {

using bytes = std::vector<unsigned char>;

// No pacing and no turnaround, so the bytes out are all that matters.
inline tester_sim::box_config instant_box()
{
    tester_sim::box_config c;
    c.pacing = false;
    c.turnaround_us = 0;
    return c;
}

// Every byte the box has queued, in order.
inline std::vector<tester_sim::box_byte> drain(tester_sim::box_model &box)
{
    std::vector<tester_sim::box_byte> out;
    while (box.has_output()) out.push_back(box.pop_output());
    return out;
}

inline bytes values(const std::vector<tester_sim::box_byte> &out)
{
    bytes v;
    for (const auto &b : out) v.push_back(b.value);
    return v;
}

// The host's bytes, all arriving at t_us, and what the box answers to them.
inline bytes transact(tester_sim::box_model &box, const bytes &host, std::uint64_t t_us = 0)
{
    for (unsigned char b : host) box.host_byte(t_us, b);
    return values(drain(box));
}

tester_sim::fault must_parse(const char *text);

}  // namespace sim_test
