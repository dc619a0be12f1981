// The traffic log: every byte on the line with its direction and time, one line each.
#pragma once

#include <cstdint>
#include <string>

#include "box_model.h"

namespace tester_sim {

enum class direction { host_to_box, box_to_host };

struct traffic_entry {
    std::uint64_t t_us;
    direction dir;
    unsigned char value;
    byte_role role;
};

// "   12.345 ms  host->box  88  Set_SI" or "   12.432 ms  box->host  88  (echo)".
std::string format_traffic(const traffic_entry &entry);

// A line for something that is not a byte, such as the line closing: "   12.500 ms  <note>".
std::string format_traffic_note(std::uint64_t t_us, const std::string &note);

}  // namespace tester_sim
