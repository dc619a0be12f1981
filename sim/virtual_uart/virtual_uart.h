// A virtual 16550 wired to the box model: the simulation behind the port
// primitives. Its clock advances with every register access, so a poll of LSR
// counts time as on hardware: a byte at 115200 bit/s shows after about 87 reads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>

#include "box_model.h"
#include "options.h"
#include "traffic_log.h"

namespace tester_sim {

// The first PC serial port, where the self-test looks for its UART.
constexpr unsigned short virtual_uart_base = 0x3F8;

// Time that one register access takes, as on an ISA bus.
constexpr std::uint64_t register_access_us = 1;

class virtual_uart {
  public:
    // `log`, when given, receives the traffic log; the caller keeps it open.
    virtual_uart(unsigned short port_base, const sim_options &options, std::FILE *log = nullptr);

    unsigned char in(unsigned short port);
    void out(unsigned short port, unsigned char value);

    const box_model &box() const { return box_; }

  private:
    struct pending_byte {
        unsigned char value;
        std::uint64_t written_us;
    };

    void advance();
    void start_shift();
    void shift_done();
    void receive(const box_byte &byte);
    double bit_rate() const;
    bool box_understands() const;
    std::uint64_t byte_time_us() const;
    std::size_t fifo_depth() const;
    void write_fcr(unsigned char value);
    void write_thr(unsigned char value);
    unsigned char read_rbr();
    unsigned char read_lsr();
    void log_byte(std::uint64_t t_us, direction dir, unsigned char value, byte_role role);
    void log_note(std::uint64_t t_us, const char *note, unsigned char value);

    unsigned short base_;
    box_model box_;
    std::FILE *log_;
    std::uint64_t now_us_ = 0;

    // As the BIOS leaves the port: 9600 bit/s, so a program that skips Init_COM
    // finds a box that does not understand it.
    unsigned char dll_ = 12;
    unsigned char dlm_ = 0;
    unsigned char ier_ = 0;
    unsigned char fcr_ = 0;
    unsigned char lcr_ = 0;
    bool overrun_ = false;

    std::deque<unsigned char> receive_fifo_;
    std::deque<pending_byte> transmit_fifo_;
    bool shifting_ = false;
    unsigned char shift_value_ = 0;
    std::uint64_t shift_done_us_ = 0;
};

}  // namespace tester_sim
