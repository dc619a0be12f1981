#include "box_model.h"

#include <algorithm>
#include <utility>

#include "encodings.h"
#include "tester_commands.h"

namespace tester_sim {
namespace {

namespace cmd = tester_cmd;

std::uint64_t byte_time_for(const box_config &c)
{
    if (!c.pacing) return 0;
    const std::uint64_t rate = std::max<std::uint32_t>(c.bit_rate, 1);
    return (10'000'000 + rate - 1) / rate;  // 10 bits a byte, rounded up to whole microseconds
}

std::uint64_t later(std::uint64_t t_us, std::uint64_t delay_us)
{
    return delay_us >= forever_us - t_us ? forever_us : t_us + delay_us;
}

std::vector<unsigned char> big_endian(std::uint32_t v, std::size_t width)
{
    std::vector<unsigned char> bytes(width);
    for (std::size_t i = 0; i < width; ++i)
        bytes[i] = static_cast<unsigned char>(v >> (8 * (width - 1 - i)));
    return bytes;
}

std::uint32_t value_of(const std::vector<unsigned char> &bytes)
{
    std::uint32_t v = 0;
    for (unsigned char b : bytes) v = v << 8 | b;
    return v;
}

bool both_running(unsigned char status)
{
    return (status & status_si_running) && (status & status_so_running);
}

}  // namespace

box_model::box_model(box_config config, std::vector<fault> faults)
    : config_(config), byte_time_us_(byte_time_for(config))
{
    set_faults(std::move(faults));
}

void box_model::set_faults(std::vector<fault> faults)
{
    faults_.clear();
    vanish_armed_ = false;
    for (auto &f : faults) {
        const fault_target &t = f.target;
        // A vanish that names no command counts the box's bytes from now on.
        if (f.kind == fault_kind::vanish && !t.command && t.occurrence == 0)
            arm_vanish(f.value);
        else
            faults_.push_back({std::move(f), 0});
    }
}

void box_model::arm_vanish(std::uint64_t bytes)
{
    if (bytes == 0) {
        go_vanished();
        return;
    }
    vanish_armed_ = true;
    bytes_to_vanish_ = bytes;
}

// Output that never went leaves the line free: nothing may queue behind it.
void box_model::go_vanished()
{
    vanished_ = true;
    vanish_armed_ = false;
    output_.clear();
    line_free_us_ = 0;
    forget_command();
}

void box_model::line_restored()
{
    vanished_ = false;
    output_.clear();
    line_free_us_ = 0;
    forget_command();
}

void box_model::forget_command()
{
    command_ = nullptr;
    params_.clear();
    hits_.clear();
    dropped_ = false;
}

std::uint64_t box_model::hit_delay(fault_kind kind) const
{
    std::uint64_t us = 0;
    for (const auto &f : hits_)
        if (f.kind == kind) us = later(us, f.delay_us);
    return us;
}

// Faults are picked when their target is known: at the command byte, or at the index byte of a
// word command when they name an index. Each counts its own matches for #n.
void box_model::select_faults(std::uint64_t t_us, unsigned char code, bool at_index)
{
    std::vector<fault> picked;
    for (auto &armed : faults_) {
        const fault_target &t = armed.spec.target;
        if (t.index.has_value() != at_index) continue;
        if (t.command && *t.command != code) continue;
        if (at_index && *t.index != params_[0]) continue;
        ++armed.matches;
        if (t.occurrence == 0 || armed.matches == t.occurrence) picked.push_back(armed.spec);
    }
    for (const auto &f : picked) {
        if (f.kind == fault_kind::silent) dropped_ = true;
        if (f.kind == fault_kind::stall)
            input_blocked_until_ = std::max(input_blocked_until_, later(t_us, f.delay_us));
    }
    hits_.insert(hits_.end(), picked.begin(), picked.end());
    for (const auto &f : picked)
        if (f.kind == fault_kind::vanish) arm_vanish(f.value);
}

byte_role box_model::host_byte(std::uint64_t t_us, unsigned char value)
{
    if (vanished_) return byte_role::ignored;
    if (command_) return take_parameter(t_us, value);

    forget_command();
    select_faults(t_us, value, false);
    if (dropped_ || vanished_) {
        forget_command();
        return byte_role::ignored;
    }
    const box_command *c = find_command(value);
    send_echo(t_us, value, c);
    if (!c || dropped_) {
        forget_command();
        return c ? byte_role::command : byte_role::unknown_command;
    }
    command_ = c;
    if (c->param_bytes == 0) finish_command(t_us);
    return byte_role::command;
}

byte_role box_model::take_parameter(std::uint64_t t_us, unsigned char value)
{
    params_.push_back(value);
    const bool word = is_word_command(command_->code);
    const byte_role role = !word                 ? byte_role::parameter
                           : params_.size() == 1 ? byte_role::index
                                                 : byte_role::data;
    if (role == byte_role::index) {
        select_faults(t_us, command_->code, true);
        if (vanished_) return byte_role::ignored;
    }
    if (params_.size() == static_cast<std::size_t>(command_->param_bytes)) finish_command(t_us);
    return role;
}

void box_model::send_echo(std::uint64_t t_us, unsigned char code, const box_command *c)
{
    const bool echoed = !c || c->echoed;
    const std::uint64_t start =
        later(t_us + config_.turnaround_us, echoed ? hit_delay(fault_kind::echo_delay) : 0);
    for (const auto &f : hits_)
        if (f.kind == fault_kind::noise)
            for (unsigned char b : f.bytes) queue(start, b, byte_role::noise);
    if (!echoed) return;
    for (const auto &f : hits_) {
        if (f.kind == fault_kind::wrong_echo) {
            // The host stops at a wrong echo and sends no parameters, so the box drops the
            // command rather than take the next command byte as its parameter.
            queue(start, f.bytes[0], byte_role::wrong_echo);
            dropped_ = true;
            return;
        }
    }
    queue(start, code, byte_role::echo);
}

void box_model::finish_command(std::uint64_t t_us)
{
    if (!dropped_) {
        std::vector<unsigned char> reply = execute();
        apply_answer_faults(reply);
        send_reply(t_us, reply);
    }
    forget_command();
}

std::vector<unsigned char> box_model::execute()
{
    const unsigned char p = params_.empty() ? 0 : params_[0];
    box_state &s = state_;
    switch (command_->code) {
        case cmd::Tester_Reset: {
            // Registers back to their power-on values; the word memories keep what they hold.
            box_state fresh;
            fresh.words_si = s.words_si;
            fresh.words_so = s.words_so;
            s = fresh;
            return {};
        }
        case cmd::Get_ID:
            return {box_id};
        case cmd::RD_RS:
            return {s.status};
        case cmd::Set_SI:
            s.status = static_cast<unsigned char>((s.status & ~0x07u) | (p & 0x07u));
            return {};
        case cmd::Set_SO:
            s.status = static_cast<unsigned char>((s.status & ~0x38u) | (p & 0x38u));
            return {};
        case cmd::RD_Mod_SI:
            return {s.mode_si};
        case cmd::RD_Param_SI:
            return {s.param_si};
        case cmd::RD_Mod_SO:
            return {s.mode_so};
        case cmd::RD_Param_SO:
            return {s.param_so};
        case cmd::Set_SI_Mod1:
            s.mode_si = 1;
            return {};
        case cmd::Set_SI_Mod2:
            s.mode_si = 2;
            return {};
        case cmd::Set_SI_Mod3:
            s.mode_si = 3;
            s.param_si = p;
            return {};
        case cmd::Set_SI_Mod4:
            s.mode_si = 4;
            s.param_si = p;
            return {};
        case cmd::RD_Ivent_Flag:
            return {s.event_flag};
        case cmd::RD_Count_Ivent:
            return {s.event_count};
        case cmd::Set_SO_Mod1:
            s.mode_so = 1;
            s.param_so = p;
            return {};
        case cmd::Set_SO_Mod2:
            s.mode_so = 2;
            s.param_so = p;
            return {};
        case cmd::SSI:
        case cmd::SSO: {
            const unsigned char before = s.status;
            s.status ^= command_->code == cmd::SSI ? status_si_running : status_so_running;
            if (!both_running(before) && both_running(s.status)) run_loopback();
            return {};
        }
        case cmd::RD_Count_SI:
            return {s.count_si};
        case cmd::RD_Count_SO:
            return {s.count_so};
        case cmd::Get_ArincWordSI: {
            const auto b = tester_encoding::word_bytes(s.words_si[p]);
            return {b.begin(), b.end()};
        }
        case cmd::Get_ArincWordSO: {
            const auto b = tester_encoding::word_bytes(s.words_so[p]);
            return {b.begin(), b.end()};
        }
        case cmd::Put_ArincWordSI:
            s.words_si[p] = tester_encoding::word_value(&params_[1]);
            return {};
        case cmd::Put_ArincWordSO:
            s.words_so[p] = tester_encoding::word_value(&params_[1]);
            return {};
        case cmd::RD_Timer: {
            const std::uint32_t v = s.timer_param * timer_step_us;
            return {static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8)};
        }
        case cmd::WR_Timer_Param:
            s.timer_param = p;
            return {};
        default:
            return {};
    }
}

// Once both sides run, one frame of the output length passes from the output side's first
// words into the input side's first slots.
void box_model::run_loopback()
{
    if (!config_.loopback) return;
    box_state &s = state_;
    const int n = tester_encoding::decode_param_so(s.param_so);
    std::copy_n(s.words_so.begin(), n, s.words_si.begin());
    s.count_so = static_cast<unsigned char>(s.count_so + n);
    s.count_si = static_cast<unsigned char>(s.count_si + n);
    s.event_flag = 1;
    ++s.event_count;
}

void box_model::apply_answer_faults(std::vector<unsigned char> &reply) const
{
    if (reply.empty()) return;
    for (const auto &f : hits_) {
        switch (f.kind) {
            case fault_kind::answer:
                reply = big_endian(f.value, reply.size());
                break;
            case fault_kind::set_bits:
                reply = big_endian(value_of(reply) | f.value, reply.size());
                break;
            case fault_kind::clear_bits:
                reply = big_endian(value_of(reply) & ~f.value, reply.size());
                break;
            case fault_kind::status:
                // The field map is its own inverse for the values a status can read, so the
                // decode also gives the line byte that decodes to the value.
                reply = {tester_encoding::decode_status(static_cast<unsigned char>(f.value))};
                break;
            default:
                break;
        }
    }
    for (const auto &f : hits_)
        if (f.kind == fault_kind::short_reply && f.value < reply.size()) reply.resize(f.value);
}

void box_model::send_reply(std::uint64_t t_us, const std::vector<unsigned char> &reply)
{
    const std::uint64_t start =
        later(t_us + config_.turnaround_us, hit_delay(fault_kind::reply_delay));
    const fault *split = nullptr;
    for (const auto &f : hits_)
        if (f.kind == fault_kind::split) split = &f;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        std::uint64_t earliest = start;
        if (split && i % split->value == 0)
            earliest = later(std::max(start, line_free_us_), split->delay_us);
        queue(earliest, reply[i], byte_role::reply);
    }
}

void box_model::queue(std::uint64_t earliest_start_us, unsigned char value, byte_role role)
{
    if (vanished_) return;
    // One byte at a time on the line: a byte starts when the previous one has left.
    const std::uint64_t begin = std::max(earliest_start_us, line_free_us_);
    line_free_us_ = later(begin, byte_time_us_);
    output_.push_back({line_free_us_, value, role});
}

box_byte box_model::pop_output()
{
    const box_byte b = output_.front();
    output_.pop_front();
    if (vanish_armed_ && --bytes_to_vanish_ == 0) go_vanished();
    return b;
}

}  // namespace tester_sim
