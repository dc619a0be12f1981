#include "bare_exchange.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "tester_commands.h"
#include "thread_cpu.h"

namespace bench {

namespace {

// The box answers within its turnaround and a few byte times; this only stops a
// dead line from hanging the benchmark.
constexpr int kReceiveLimitMs = 3000;

struct Step {
    enum class Kind { send, receive } kind;
    unsigned count;
};

struct Exchange {
    unsigned char command;
    std::vector<Step> after_echo;  // the command and its echo come first in every family
};

constexpr Step send(unsigned count) { return {Step::Kind::send, count}; }
constexpr Step receive(unsigned count) { return {Step::Kind::receive, count}; }

Exchange exchange_of(Family family)
{
    switch (family) {
        case Family::command_only:
            return {tester_cmd::Set_SI_Mod1, {}};
        case Family::parameter_byte:
            return {tester_cmd::Set_SI_Mod3, {send(1)}};
        case Family::reply_byte:
            return {tester_cmd::RD_RS, {receive(1)}};
        case Family::word_put:
            return {tester_cmd::Put_ArincWordSO, {send(1), send(4)}};
        case Family::word_get:
            return {tester_cmd::Get_ArincWordSO, {send(1), receive(4)}};
        case Family::timer:
            return {tester_cmd::RD_Timer, {receive(2)}};
        case Family::get_id:
            return {tester_cmd::Get_ID, {}};
    }
    throw std::logic_error("unknown family");
}

// The line opened raw and non-blocking, closed again on every way out.
class BareLine {
  public:
    explicit BareLine(const std::string &device)
        : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        termios line{};
        if (fd_ < 0 || ::tcgetattr(fd_, &line) != 0) fail("cannot open " + device);
        ::cfmakeraw(&line);
        line.c_cc[VMIN] = 0;
        line.c_cc[VTIME] = 0;
        if (::tcsetattr(fd_, TCSANOW, &line) != 0) fail("cannot set up " + device);
    }
    ~BareLine()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    BareLine(const BareLine &) = delete;
    BareLine &operator=(const BareLine &) = delete;

    void send(unsigned char byte, unsigned count)
    {
        const unsigned char bytes[4] = {byte, byte, byte, byte};
        if (count > sizeof bytes || ::write(fd_, bytes, count) != static_cast<ssize_t>(count)) {
            fail("write to the box failed");
        }
    }

    // Sleeps until a byte is there and takes what is queued, until `count` came.
    void receive(unsigned count)
    {
        unsigned char bytes[8];
        for (unsigned got = 0; got < count;) {
            pollfd watch{fd_, POLLIN, 0};
            if (::poll(&watch, 1, kReceiveLimitMs) != 1) fail("the box did not answer");
            const ssize_t n = ::read(fd_, bytes, std::min<std::size_t>(count - got, sizeof bytes));
            if (n < 0 && errno == EAGAIN) continue;
            if (n <= 0) fail("read from the box failed");
            got += static_cast<unsigned>(n);
        }
    }

  private:
    [[noreturn]] void fail(const std::string &what)
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        throw std::runtime_error("bare exchange: " + what);
    }

    int fd_;
};

void run_once(BareLine &line, const Exchange &exchange, unsigned char index)
{
    line.send(exchange.command, 1);
    line.receive(1);
    for (const Step &step : exchange.after_echo) {
        if (step.kind == Step::Kind::send) {
            line.send(index, step.count);
        } else {
            line.receive(step.count);
        }
    }
}

}  // namespace

std::vector<BareFigures> bench_bare_exchanges(const std::string &device, unsigned iterations)
{
    using Clock = std::chrono::steady_clock;
    BareLine line(device);
    std::vector<BareFigures> figures;
    for (const FamilyInfo &family : kFamilies) {
        const Exchange exchange = exchange_of(family.family);
        run_once(line, exchange, 0);
        const double cpu_before = thread_cpu_us();
        const Clock::time_point start = Clock::now();
        for (unsigned n = 0; n < iterations; ++n) {
            run_once(line, exchange, static_cast<unsigned char>(n));
        }
        const double wall_us =
            std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        const double cpu_us = thread_cpu_us() - cpu_before;
        figures.push_back({cpu_us / iterations, wall_us / iterations});
    }
    return figures;
}

}  // namespace bench
