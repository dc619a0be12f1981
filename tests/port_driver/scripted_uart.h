// A scripted register file behind the port primitives. It logs every access by
// register name and answers LSR and RBR from a script of arriving bytes and a
// busy transmitter, so a test sees the exact register sequence of an operation
// and can put a poll at the edge of its budget.
#pragma once

#include <climits>
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

// Only one exists at a time; while it does, the port primitives reach it.
class ScriptedUart {
  public:
    static constexpr int forever = INT_MAX;

    explicit ScriptedUart(unsigned short port_base);
    ~ScriptedUart();
    ScriptedUart(const ScriptedUart &) = delete;
    ScriptedUart &operator=(const ScriptedUart &) = delete;

    // A byte from the box; LSR shows it on the (hidden_reads + 1)th LSR read
    // after it has come to the head of the receive FIFO.
    void arrive(unsigned char byte, int hidden_reads = 0);
    void arrive(std::initializer_list<unsigned char> bytes);

    // After the nth THR write (1-based), THRE stays clear for this many LSR reads.
    void hold_transmitter(int nth_write, int lsr_reads);

    // Every access in order: "TX 7F", "LCR 80", "DLL 01", ... for writes; "LSR",
    // "RX" for reads; a port outside the UART shows as "port 0x...".
    const std::vector<std::string> &trace() const { return trace_; }
    const std::vector<unsigned char> &transmitted() const { return transmitted_; }
    int lsr_reads() const { return lsr_reads_; }
    int rbr_reads() const { return rbr_reads_; }
    std::size_t unread() const { return receive_.size(); }

    unsigned char in(unsigned short port);
    void out(unsigned short port, unsigned char value);

  private:
    struct Arrival {
        unsigned char byte;
        int hidden_reads;
    };

    unsigned char line_status();
    std::string register_name(unsigned short port, bool writing) const;

    unsigned short base_;
    bool divisor_latch_ = false;
    std::deque<Arrival> receive_;
    std::vector<unsigned char> transmitted_;
    int hold_at_write_ = 0;
    int hold_reads_ = 0;
    int transmitter_busy_reads_ = 0;
    int lsr_reads_ = 0;
    int rbr_reads_ = 0;
    std::vector<std::string> trace_;
};
