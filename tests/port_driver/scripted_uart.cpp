#include "scripted_uart.h"

#include <cstdio>
#include <cstdlib>

#include "tester_port.h"
#include "uart_16550.h"

namespace {

ScriptedUart *active = nullptr;

// The primitives have no way to report a missing fixture; stop loudly.
ScriptedUart &active_uart()
{
    if (active == nullptr) std::abort();
    return *active;
}

std::string hex_byte(unsigned char value)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

}  // namespace

unsigned char tester_port_in(unsigned short port) { return active_uart().in(port); }

void tester_port_out(unsigned short port, unsigned char value) { active_uart().out(port, value); }

ScriptedUart::ScriptedUart(unsigned short port_base) : base_(port_base)
{
    if (active != nullptr) std::abort();
    active = this;
}

ScriptedUart::~ScriptedUart() { active = nullptr; }

void ScriptedUart::arrive(unsigned char byte, int hidden_reads)
{
    receive_.push_back({byte, hidden_reads});
}

void ScriptedUart::arrive(std::initializer_list<unsigned char> bytes)
{
    for (const unsigned char byte : bytes) arrive(byte);
}

void ScriptedUart::hold_transmitter(int nth_write, int lsr_reads)
{
    hold_at_write_ = nth_write;
    hold_reads_ = lsr_reads;
}

unsigned char ScriptedUart::line_status()
{
    unsigned char status = 0;
    if (transmitter_busy_reads_ > 0) {
        --transmitter_busy_reads_;
    } else {
        status |= UART_LSR_THRE | UART_LSR_TEMT;
    }
    if (!receive_.empty()) {
        if (receive_.front().hidden_reads == 0) {
            status |= UART_LSR_DR;
        } else {
            --receive_.front().hidden_reads;
        }
    }
    return status;
}

std::string ScriptedUart::register_name(unsigned short port, bool writing) const
{
    // Formatting only where needed: a failed poll alone logs 30001 reads.
    char text[16];
    if (port < base_ || port >= base_ + UART_PORT_COUNT) {
        std::snprintf(text, sizeof text, "port 0x%04X", port);
        return text;
    }
    switch (port - base_) {
        case UART_RX:
            return divisor_latch_ ? "DLL" : writing ? "TX" : "RX";
        case UART_IER:
            return divisor_latch_ ? "DLM" : "IER";
        case UART_FCR:
            return writing ? "FCR" : "IIR";
        case UART_LCR:
            return "LCR";
        case UART_MCR:
            return "MCR";
        case UART_LSR:
            return "LSR";
        default:
            std::snprintf(text, sizeof text, "+%d", port - base_);
            return text;
    }
}

unsigned char ScriptedUart::in(unsigned short port)
{
    trace_.push_back(register_name(port, false));
    if (port == base_ + UART_LSR) {
        ++lsr_reads_;
        return line_status();
    }
    if (port != base_ + UART_RX || divisor_latch_) return 0;
    ++rbr_reads_;
    if (receive_.empty() || receive_.front().hidden_reads > 0) return 0;
    const unsigned char byte = receive_.front().byte;
    receive_.pop_front();
    return byte;
}

void ScriptedUart::out(unsigned short port, unsigned char value)
{
    trace_.push_back(register_name(port, true) + " " + hex_byte(value));
    if (port == base_ + UART_LCR) divisor_latch_ = (value & UART_LCR_DLAB) != 0;
    if (port != base_ + UART_TX || divisor_latch_) return;
    transmitted_.push_back(value);
    if (static_cast<int>(transmitted_.size()) == hold_at_write_) {
        transmitter_busy_reads_ = hold_reads_;
    }
}
