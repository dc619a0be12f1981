#include "faults.h"

#include <charconv>

#include "box_commands.h"
#include "tester_commands.h"

namespace tester_sim {
namespace {

struct kind_name {
    std::string_view name;
    fault_kind kind;
};

constexpr kind_name kinds[] = {
    {"silent", fault_kind::silent},         {"echo", fault_kind::wrong_echo},
    {"echo-delay", fault_kind::echo_delay}, {"noise", fault_kind::noise},
    {"delay", fault_kind::reply_delay},     {"split", fault_kind::split},
    {"short", fault_kind::short_reply},     {"answer", fault_kind::answer},
    {"set", fault_kind::set_bits},          {"clear", fault_kind::clear_bits},
    {"status", fault_kind::status},         {"vanish", fault_kind::vanish},
    {"stall", fault_kind::stall},
};

constexpr std::string_view kind_list =
    "silent, echo, echo-delay, noise, delay, split, short, answer, set, clear, status, vanish, "
    "stall";

// Decimal, or hexadecimal after 0x.
bool parse_number(std::string_view text, std::uint64_t max, std::uint64_t &out)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return false;
    std::uint64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (ec != std::errc{} || end != text.data() + text.size() || v > max) return false;
    out = v;
    return true;
}

bool parse_byte_list(std::string_view text, std::vector<unsigned char> &out)
{
    while (true) {
        auto comma = text.find(',');
        std::uint64_t b = 0;
        if (!parse_number(text.substr(0, comma), 0xFF, b)) return false;
        out.push_back(static_cast<unsigned char>(b));
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

constexpr std::uint64_t max_ms = 3'600'000;  // an hour is beyond every wait of the drivers

bool parse_ms(std::string_view text, std::uint64_t &us)
{
    std::uint64_t ms = 0;
    if (!parse_number(text, max_ms, ms)) return false;
    us = ms * 1000;
    return true;
}

// One field that is 3 never comes out of the status decode, so no line byte gives it.
bool decodable_status(std::uint32_t v)
{
    return v <= 0xFF && ((v >> 1) & 3u) != 3u && ((v >> 4) & 3u) != 3u;
}

bool is_reply_fault(fault_kind k)
{
    switch (k) {
        case fault_kind::reply_delay:
        case fault_kind::split:
        case fault_kind::short_reply:
        case fault_kind::answer:
        case fault_kind::set_bits:
        case fault_kind::clear_bits:
        case fault_kind::status:
            return true;
        default:
            return false;
    }
}

bool is_echo_fault(fault_kind k)
{
    return k == fault_kind::wrong_echo || k == fault_kind::echo_delay || k == fault_kind::noise;
}

class fault_parser {
  public:
    fault_parser(std::string_view text, std::string &error) : text_(text), error_(error) {}

    std::optional<fault> parse()
    {
        f_.text = std::string(text_);
        std::string_view spec = text_;
        std::string_view target;
        if (auto at = spec.find('@'); at != std::string_view::npos) {
            target = spec.substr(at + 1);
            spec = spec.substr(0, at);
            if (!parse_target(target)) return std::nullopt;
        }
        std::string_view name = spec;
        std::optional<std::string_view> value;
        if (auto eq = spec.find('='); eq != std::string_view::npos) {
            name = spec.substr(0, eq);
            value = spec.substr(eq + 1);
        }
        if (!parse_kind(name) || !parse_value(value) || !check_fit()) return std::nullopt;
        return f_;
    }

  private:
    bool fail(const std::string &what)
    {
        error_ = "fault \"" + std::string(text_) + "\": " + what;
        return false;
    }

    bool parse_target(std::string_view t)
    {
        if (auto hash = t.find('#'); hash != std::string_view::npos) {
            std::uint64_t n = 0;
            if (!parse_number(t.substr(hash + 1), 1'000'000, n) || n == 0)
                return fail("occurrence after # must be a number from 1");
            f_.target.occurrence = static_cast<unsigned>(n);
            t = t.substr(0, hash);
        }
        std::string_view index;
        bool has_index = false;
        if (auto colon = t.find(':'); colon != std::string_view::npos) {
            index = t.substr(colon + 1);
            t = t.substr(0, colon);
            has_index = true;
        }
        if (!t.empty()) {
            if (const box_command *c = find_command(t)) {
                f_.target.command = c->code;
            } else {
                std::uint64_t code = 0;
                if (!parse_number(t, 0xFF, code))
                    return fail("unknown command \"" + std::string(t) +
                                "\" (an operation name or a byte such as 0x04)");
                f_.target.command = static_cast<unsigned char>(code);
            }
        }
        if (has_index) {
            if (!f_.target.command || !is_word_command(*f_.target.command))
                return fail("an index (:N) needs a word command such as Get_ArincWordSO");
            std::uint64_t i = 0;
            if (!parse_number(index, 0xFF, i)) return fail("index must be 0 to 255");
            f_.target.index = static_cast<unsigned char>(i);
        }
        if (!f_.target.command && f_.target.occurrence == 0)
            return fail("empty target after @ (a command, :index or #n)");
        return true;
    }

    bool parse_kind(std::string_view name)
    {
        for (const auto &k : kinds) {
            if (k.name == name) {
                f_.kind = k.kind;
                return true;
            }
        }
        return fail("unknown fault \"" + std::string(name) + "\" (one of " +
                    std::string(kind_list) + ")");
    }

    bool parse_value(std::optional<std::string_view> value)
    {
        const auto needs = [&](const char *what) {
            return value ? true : fail(std::string("needs =") + what);
        };
        const auto takes_none = [&] { return value ? fail("takes no value") : true; };
        std::uint64_t n = 0;
        switch (f_.kind) {
            case fault_kind::silent:
                return takes_none();
            case fault_kind::wrong_echo:
                if (!needs("BYTE")) return false;
                f_.bytes.resize(1);
                if (!parse_number(*value, 0xFF, n)) return fail("echo byte must be 0 to 0xFF");
                f_.bytes[0] = static_cast<unsigned char>(n);
                return true;
            case fault_kind::noise:
                if (!needs("BYTE[,BYTE...]")) return false;
                if (!parse_byte_list(*value, f_.bytes))
                    return fail("noise must be bytes 0 to 0xFF, separated by commas");
                return true;
            case fault_kind::echo_delay:
            case fault_kind::reply_delay:
                if (!needs("MS")) return false;
                if (!parse_ms(*value, f_.delay_us)) return fail("delay must be 0 to 3600000 ms");
                return true;
            case fault_kind::split: {
                if (!needs("MS[,BYTES]")) return false;
                auto comma = value->find(',');
                if (!parse_ms(value->substr(0, comma), f_.delay_us))
                    return fail("split gap must be 0 to 3600000 ms");
                f_.value = 1;
                if (comma != std::string_view::npos) {
                    if (!parse_number(value->substr(comma + 1), 4, n) || n == 0)
                        return fail("split piece must be 1 to 4 bytes");
                    f_.value = static_cast<std::uint32_t>(n);
                }
                return true;
            }
            case fault_kind::short_reply:
                if (!needs("N")) return false;
                if (!parse_number(*value, 3, n)) return fail("short reply must keep 0 to 3 bytes");
                f_.value = static_cast<std::uint32_t>(n);
                return true;
            case fault_kind::answer:
            case fault_kind::set_bits:
            case fault_kind::clear_bits:
            case fault_kind::status:
                if (!needs("VALUE")) return false;
                if (!parse_number(*value, 0xFFFFFFFF, n))
                    return fail("value must be a number up to 0xFFFFFFFF");
                f_.value = static_cast<std::uint32_t>(n);
                return true;
            case fault_kind::vanish:
                if (value && !parse_number(*value, 1'000'000, n))
                    return fail("vanish count must be a number of bytes");
                f_.value = static_cast<std::uint32_t>(n);
                return true;
            case fault_kind::stall:
                f_.delay_us = forever_us;
                if (value && !parse_ms(*value, f_.delay_us))
                    return fail("stall must be 0 to 3600000 ms");
                return true;
        }
        return fail("unknown fault");
    }

    // What can be checked against the targeted command's reply before the box runs.
    bool check_fit()
    {
        if (f_.target.index && is_echo_fault(f_.kind))
            return fail("the echo goes before the index byte, so an index cannot pick it");
        if (is_echo_fault(f_.kind) && f_.kind != fault_kind::noise &&
            f_.target.command == tester_cmd::Get_ID)
            return fail("Get_ID has no echo");
        if (f_.kind == fault_kind::status && f_.target.command != tester_cmd::RD_RS)
            return fail("status= is for RD_RS only (@RD_RS)");
        if (f_.kind == fault_kind::status && !decodable_status(f_.value))
            return fail("no status byte reads back as this value (a field of 3)");
        const box_command *c = f_.target.command ? find_command(*f_.target.command) : nullptr;
        if (!c || !is_reply_fault(f_.kind)) return true;
        const std::string name(c->name);
        if (c->reply_bytes == 0) return fail(name + " has no reply");
        if (f_.kind == fault_kind::short_reply &&
            f_.value >= static_cast<std::uint32_t>(c->reply_bytes))
            return fail(name + " replies " + std::to_string(c->reply_bytes) +
                        " byte(s); short= must keep fewer");
        const bool takes_value = f_.kind == fault_kind::answer || f_.kind == fault_kind::set_bits ||
                                 f_.kind == fault_kind::clear_bits;
        if (takes_value && c->reply_bytes < 4 && f_.value >> (8 * c->reply_bytes) != 0)
            return fail("value does not fit the " + std::to_string(c->reply_bytes) +
                        "-byte reply of " + name);
        return true;
    }

    std::string_view text_;
    std::string &error_;
    fault f_;
};

}  // namespace

std::optional<fault> parse_fault(std::string_view text, std::string &error)
{
    return fault_parser(text, error).parse();
}

}  // namespace tester_sim
