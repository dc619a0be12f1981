// Faults on demand: what a misbehaving box does, and to which command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tester_sim {

enum class fault_kind {
    silent,       // the box ignores the command: no echo, no effect, no reply
    wrong_echo,   // echoes bytes[0] instead and drops the command
    echo_delay,   // the echo leaves delay_us later
    noise,        // bytes go out before the echo
    reply_delay,  // the reply leaves delay_us later
    split,        // the reply goes in pieces of `value` bytes, each held delay_us longer
    short_reply,  // only the first `value` reply bytes go out
    answer,       // the reply carries `value` instead
    set_bits,     // the reply is ORed with `value`
    clear_bits,   // the reply has the bits of `value` cleared
    status,       // RD_RS answers so that the host decodes `value`
    vanish,       // the line goes after `value` more bytes from the box
    stall,        // from the targeted byte on, the box takes no byte for delay_us
};

constexpr std::uint64_t forever_us = ~std::uint64_t{0};

// Which commands a fault hits. Empty parts match anything.
struct fault_target {
    std::optional<unsigned char> command;
    std::optional<unsigned char> index;  // word commands only: the index byte
    unsigned occurrence = 0;             // 0: every match; n: only the n-th match
};

struct fault {
    fault_kind kind = fault_kind::silent;
    fault_target target;
    std::vector<unsigned char> bytes;
    std::uint32_t value = 0;
    std::uint64_t delay_us = 0;
    std::string text;  // as it was written
};

// Parses one description such as "answer=0x0B@RD_RS#2" or "silent@Get_ArincWordSI:12".
// On failure returns nothing and sets error to a one-line message naming what is wrong.
std::optional<fault> parse_fault(std::string_view text, std::string &error);

}  // namespace tester_sim
