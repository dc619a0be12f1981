// The tester box as a pure state machine: bytes from the host in, timed bytes to the host out.
// No I/O, threads or clocks: every front end feeds it its own time base in microseconds.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "box_commands.h"
#include "faults.h"

namespace tester_sim {

struct box_config {
    bool pacing = true;                // each byte takes 10 bit times on the line
    std::uint32_t bit_rate = 115200;   // bit/s, for pacing
    std::uint32_t turnaround_us = 50;  // before the echo and before the reply
    bool loopback = true;              // the output side is wired to the input side
};

// What a byte on the line meant to the box.
enum class byte_role {
    command,          // host: a command byte of the table
    unknown_command,  // host: not a command of the box; echoed and otherwise ignored
    parameter,        // host: a parameter byte after the echo
    index,            // host: the index byte of a word command
    data,             // host: a data byte of a word put
    ignored,          // host: a byte the box did not take (silent box, line gone)
    echo,             // box: the echo of a command
    wrong_echo,       // box: an echo changed by a fault
    noise,            // box: a stray byte before an echo
    reply,            // box: a reply byte (Get_ID's identification byte included)
};

struct box_byte {
    std::uint64_t t_us;  // when the byte has completely left the box
    unsigned char value;
    byte_role role;
};

// What a healthy box keeps; reads answer from it.
struct box_state {
    unsigned char status = 0;  // bits 0-2 Set_SI, 3-5 Set_SO, 6 input side runs, 7 output side runs
    unsigned char mode_si = 1;
    unsigned char param_si = 0;
    unsigned char mode_so = 1;
    unsigned char param_so = 0;  // output length - 1
    unsigned char timer_param = 0;
    unsigned char count_si = 0;  // words received, modulo 256
    unsigned char count_so = 0;  // words sent, modulo 256
    unsigned char event_flag = 0;
    unsigned char event_count = 0;
    std::array<std::uint32_t, 256> words_si{};
    std::array<std::uint32_t, 256> words_so{};
};

constexpr unsigned char box_id = 0x2A;         // the identification byte
constexpr std::uint32_t timer_step_us = 4608;  // RD_Timer answers timer_param * this
constexpr unsigned char status_si_running = 0x40;
constexpr unsigned char status_so_running = 0x80;

class box_model {
  public:
    explicit box_model(box_config config = {}, std::vector<fault> faults = {});

    // Replaces the faults in force; their occurrence counts start afresh.
    void set_faults(std::vector<fault> faults);

    // A byte from the host that had completely arrived at t_us (not earlier than the last one).
    byte_role host_byte(std::uint64_t t_us, unsigned char value);

    bool has_output() const { return !output_.empty(); }
    std::uint64_t next_output_time() const { return output_.front().t_us; }
    box_byte pop_output();

    // The front end closes the line once this is true, and calls line_restored() when it
    // offers a new one: the box then forgets the command under way and what it had yet to send.
    bool vanished() const { return vanished_; }
    void line_restored();

    // The front end must not hand over host bytes before this time (a stall fault); the box
    // takes whatever it is given.
    std::uint64_t input_blocked_until() const { return input_blocked_until_; }

    std::uint64_t byte_time_us() const { return byte_time_us_; }
    const box_config &config() const { return config_; }
    const box_state &state() const { return state_; }

  private:
    struct armed_fault {
        fault spec;
        unsigned matches = 0;
    };

    byte_role take_parameter(std::uint64_t t_us, unsigned char value);
    void select_faults(std::uint64_t t_us, unsigned char code, bool at_index);
    std::uint64_t hit_delay(fault_kind kind) const;
    void send_echo(std::uint64_t t_us, unsigned char code, const box_command *command);
    void finish_command(std::uint64_t t_us);
    std::vector<unsigned char> execute();
    void run_loopback();
    void apply_answer_faults(std::vector<unsigned char> &reply) const;
    void send_reply(std::uint64_t t_us, const std::vector<unsigned char> &reply);
    void queue(std::uint64_t earliest_start_us, unsigned char value, byte_role role);
    void arm_vanish(std::uint64_t bytes);
    void go_vanished();
    void forget_command();

    box_config config_;
    std::uint64_t byte_time_us_;
    box_state state_;
    std::vector<armed_fault> faults_;

    // The command under way.
    const box_command *command_ = nullptr;
    std::vector<unsigned char> params_;
    std::vector<fault> hits_;  // faults that hit this command
    bool dropped_ = false;     // silent or wrong echo: no effect, no reply

    std::deque<box_byte> output_;
    std::uint64_t line_free_us_ = 0;  // when the last queued byte has left
    std::uint64_t bytes_to_vanish_ = 0;
    bool vanish_armed_ = false;
    bool vanished_ = false;
    std::uint64_t input_blocked_until_ = 0;
};

}  // namespace tester_sim
