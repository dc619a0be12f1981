#include "virtual_uart.h"

#include <algorithm>
#include <cmath>

#include "uart_16550.h"

namespace tester_sim {
namespace {

// A 16550 holds this many bytes each way with its FIFOs on, one without.
constexpr std::size_t fifo_bytes = 16;

// A receiver samples mid-bit; beyond this mismatch of rates the stop bit lands
// on the wrong bit and the byte is garbage.
constexpr double rate_tolerance = 0.03;

// What reads back from a register that is not modelled, or from no device at all.
constexpr unsigned char floating_bus = 0xFF;

}  // namespace

virtual_uart::virtual_uart(unsigned short port_base, const sim_options &options, std::FILE *log)
    : base_(port_base), box_(options.box, options.faults), log_(log)
{
}

double virtual_uart::bit_rate() const
{
    // A divisor of 0 counts as 65536, as the 16550's counter runs.
    const unsigned divisor = static_cast<unsigned>(dlm_ << 8 | dll_);
    return static_cast<double>(UART_BASE_BAUD) / (divisor == 0 ? 0x10000u : divisor);
}

std::uint64_t virtual_uart::byte_time_us() const
{
    // Start bit, 8 data bits, stop bit, rounded up to whole microseconds.
    return static_cast<std::uint64_t>(std::ceil(10'000'000 / bit_rate()));
}

bool virtual_uart::box_understands() const
{
    // The box speaks 8N1 at its own rate; anything else reaches it as noise.
    const double box_rate = box_.config().bit_rate;
    const bool same_rate = std::abs(bit_rate() - box_rate) <= box_rate * rate_tolerance;
    return same_rate && (lcr_ & ~UART_LCR_DLAB) == UART_LCR_WLEN8;
}

std::size_t virtual_uart::fifo_depth() const
{
    return (fcr_ & UART_FCR_ENABLE_FIFO) != 0 ? fifo_bytes : 1;
}

// The transmitter takes the next byte once the shift register is free and the
// box takes bytes again (a stall holds it, as a flow-controlled line would).
void virtual_uart::start_shift()
{
    if (shifting_ || transmit_fifo_.empty()) return;
    const std::uint64_t start =
        std::max({transmit_fifo_.front().written_us, shift_done_us_, box_.input_blocked_until()});
    if (start > now_us_) return;
    shift_value_ = transmit_fifo_.front().value;
    transmit_fifo_.pop_front();
    shifting_ = true;
    shift_done_us_ = start + byte_time_us();
}

void virtual_uart::shift_done()
{
    shifting_ = false;
    if (!box_understands()) {
        log_note(shift_done_us_, "host byte lost: the box does not read this rate or format",
                 shift_value_);
        return;
    }
    const byte_role role = box_.host_byte(shift_done_us_, shift_value_);
    log_byte(shift_done_us_, direction::host_to_box, shift_value_, role);
}

void virtual_uart::receive(const box_byte &byte)
{
    log_byte(byte.t_us, direction::box_to_host, byte.value, byte.role);
    if (!box_understands()) {
        log_note(byte.t_us, "box byte lost: the UART does not read this rate or format",
                 byte.value);
        return;
    }
    if (receive_fifo_.size() == fifo_depth()) {
        overrun_ = true;
        // A full FIFO keeps what it holds; a lone holding register is overwritten.
        const bool fifo = (fcr_ & UART_FCR_ENABLE_FIFO) != 0;
        log_note(byte.t_us, "box byte lost: receiver full",
                 fifo ? byte.value : receive_fifo_.back());
        if (fifo) return;
        receive_fifo_.pop_back();
    }
    receive_fifo_.push_back(byte.value);
}

// Brings the line up to now_us_: bytes finish shifting out and the box's bytes
// arrive, in the order of their times.
void virtual_uart::advance()
{
    for (;;) {
        start_shift();
        const bool box_due = box_.has_output() && box_.next_output_time() <= now_us_;
        const bool shift_due = shifting_ && shift_done_us_ <= now_us_;
        if (!box_due && !shift_due) return;
        if (shift_due && (!box_due || shift_done_us_ <= box_.next_output_time())) {
            shift_done();
        } else {
            receive(box_.pop_output());
        }
    }
}

void virtual_uart::write_fcr(unsigned char value)
{
    // Switching the FIFOs on or off empties them, as the clear bits do.
    const bool toggled = ((fcr_ ^ value) & UART_FCR_ENABLE_FIFO) != 0;
    if (toggled || (value & UART_FCR_CLEAR_RCVR) != 0) receive_fifo_.clear();
    if (toggled || (value & UART_FCR_CLEAR_XMIT) != 0) transmit_fifo_.clear();
    fcr_ = value & static_cast<unsigned char>(~(UART_FCR_CLEAR_RCVR | UART_FCR_CLEAR_XMIT));
}

void virtual_uart::write_thr(unsigned char value)
{
    if (transmit_fifo_.size() == fifo_depth()) {
        log_note(now_us_, "host byte lost: transmit FIFO full", value);
        return;
    }
    transmit_fifo_.push_back({value, now_us_});
    start_shift();
}

unsigned char virtual_uart::read_rbr()
{
    if (receive_fifo_.empty()) return 0;
    const unsigned char value = receive_fifo_.front();
    receive_fifo_.pop_front();
    return value;
}

unsigned char virtual_uart::read_lsr()
{
    unsigned char status = 0;
    if (!receive_fifo_.empty()) status |= UART_LSR_DR;
    if (overrun_) status |= UART_LSR_OE;
    if (transmit_fifo_.empty()) status |= UART_LSR_THRE;
    if (transmit_fifo_.empty() && !shifting_) status |= UART_LSR_TEMT;
    overrun_ = false;  // error bits clear when read
    return status;
}

unsigned char virtual_uart::in(unsigned short port)
{
    now_us_ += register_access_us;
    advance();
    const bool latch = (lcr_ & UART_LCR_DLAB) != 0;
    if (port == base_ + UART_RX) return latch ? dll_ : read_rbr();
    if (port == base_ + UART_IER) return latch ? dlm_ : ier_;
    if (port == base_ + UART_LCR) return lcr_;
    if (port == base_ + UART_LSR) return read_lsr();
    return floating_bus;
}

void virtual_uart::out(unsigned short port, unsigned char value)
{
    now_us_ += register_access_us;
    advance();
    const bool latch = (lcr_ & UART_LCR_DLAB) != 0;
    if (port == base_ + UART_TX) {
        if (latch) {
            dll_ = value;
        } else {
            write_thr(value);
        }
    } else if (port == base_ + UART_IER) {
        if (latch) {
            dlm_ = value;
        } else {
            ier_ = value;
        }
    } else if (port == base_ + UART_FCR) {
        write_fcr(value);
    } else if (port == base_ + UART_LCR) {
        lcr_ = value;
    }
}

void virtual_uart::log_byte(std::uint64_t t_us, direction dir, unsigned char value, byte_role role)
{
    if (log_ == nullptr) return;
    std::fprintf(log_, "%s\n", format_traffic({t_us, dir, value, role}).c_str());
    std::fflush(log_);
}

void virtual_uart::log_note(std::uint64_t t_us, const char *note, unsigned char value)
{
    if (log_ == nullptr) return;
    char text[96];
    std::snprintf(text, sizeof text, "%02X  %s", value, note);
    std::fprintf(log_, "%s\n", format_traffic_note(t_us, text).c_str());
    std::fflush(log_);
}

}  // namespace tester_sim
