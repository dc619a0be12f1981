#include "traffic_log.h"

#include <cstdio>

#include "box_commands.h"

namespace tester_sim {
namespace {

std::string role_text(const traffic_entry &e)
{
    switch (e.role) {
        case byte_role::command:
            return std::string(find_command(e.value)->name);
        case byte_role::unknown_command:
            return "(unknown command)";
        case byte_role::parameter:
            return "(parameter)";
        case byte_role::index:
            return "(index)";
        case byte_role::data:
            return "(data)";
        case byte_role::ignored:
            return "(ignored)";
        case byte_role::echo:
            return "(echo)";
        case byte_role::wrong_echo:
            return "(wrong echo)";
        case byte_role::noise:
            return "(noise)";
        case byte_role::reply:
            return "(reply)";
    }
    return {};
}

std::string time_text(std::uint64_t t_us)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%5llu.%03llu ms", static_cast<unsigned long long>(t_us / 1000),
                  static_cast<unsigned long long>(t_us % 1000));
    return buf;
}

}  // namespace

std::string format_traffic(const traffic_entry &entry)
{
    char byte[8];
    std::snprintf(byte, sizeof byte, "%02X", entry.value);
    const char *dir = entry.dir == direction::host_to_box ? "host->box" : "box->host";
    return time_text(entry.t_us) + "  " + dir + "  " + byte + "  " + role_text(entry);
}

std::string format_traffic_note(std::uint64_t t_us, const std::string &note)
{
    return time_text(t_us) + "  " + note;
}

}  // namespace tester_sim
