#include "options.h"

#include <charconv>
#include <cstdint>

namespace tester_sim {
namespace {

bool parse_switch(const std::string &word, bool &out)
{
    if (word == "on") return out = true, true;
    if (word == "off") return out = false, true;
    return false;
}

bool parse_decimal(const std::string &word, std::uint32_t min, std::uint32_t max,
                   std::uint32_t &out)
{
    std::uint32_t v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (word.empty() || ec != std::errc{} || end != word.data() + word.size() || v < min || v > max)
        return false;
    out = v;
    return true;
}

}  // namespace

bool parse_option(const std::vector<std::string> &words, std::size_t &next, sim_options &options,
                  std::string &error)
{
    const std::string &name = words[next];
    const auto value = [&]() -> const std::string * {
        if (next + 1 >= words.size()) {
            error = "option " + name + " needs a value";
            return nullptr;
        }
        next += 2;
        return &words[next - 1];
    };
    const auto bad = [&](const std::string &v, const char *expected) {
        error = "option " + name + ": \"" + v + "\" is not " + expected;
        return false;
    };

    if (name == "--fault") {
        const std::string *v = value();
        if (!v) return false;
        auto f = parse_fault(*v, error);
        if (!f) return false;
        options.faults.push_back(std::move(*f));
        return true;
    }
    if (name == "--pacing" || name == "--loopback") {
        const std::string *v = value();
        if (!v) return false;
        bool &target = name == "--pacing" ? options.box.pacing : options.box.loopback;
        return parse_switch(*v, target) || bad(*v, "on or off");
    }
    if (name == "--turnaround") {
        const std::string *v = value();
        if (!v) return false;
        return parse_decimal(*v, 0, 10'000'000, options.box.turnaround_us) ||
               bad(*v, "a number of microseconds from 0 to 10000000");
    }
    if (name == "--rate") {
        const std::string *v = value();
        if (!v) return false;
        return parse_decimal(*v, 50, 10'000'000, options.box.bit_rate) ||
               bad(*v, "a bit rate from 50 to 10000000");
    }
    if (name == "--log") {
        const std::string *v = value();
        if (!v) return false;
        if (v->empty()) return bad(*v, "a file name or -");
        options.log_target = *v;
        return true;
    }
    error = "unknown option \"" + name + "\"";
    return false;
}

std::optional<sim_options> parse_options(const std::vector<std::string> &words, std::string &error)
{
    sim_options options;
    for (std::size_t next = 0; next < words.size();)
        if (!parse_option(words, next, options, error)) return std::nullopt;
    return options;
}

std::optional<sim_options> parse_options(std::string_view text, std::string &error)
{
    std::vector<std::string> words;
    constexpr std::string_view blanks = " \t\n";
    for (auto begin = text.find_first_not_of(blanks); begin != std::string_view::npos;) {
        const auto end = text.find_first_of(blanks, begin);
        words.emplace_back(text.substr(begin, end - begin));
        begin = text.find_first_not_of(blanks, end);
    }
    return parse_options(words, error);
}

}  // namespace tester_sim
