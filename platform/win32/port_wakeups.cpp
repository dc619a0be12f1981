#include "port_wakeups.h"

#include <algorithm>
#include <ctime>

#include "line_settings.h"
#include "port_progress.h"

namespace win32 {

namespace {

using std::chrono::nanoseconds;

// Longest step between two looks at a draining output queue.
constexpr nanoseconds kLongestRecheck = std::chrono::milliseconds(2);

// poll() does not notice another thread setting the event or closing the port,
// so even a wait with nothing to watch looks again now and then.
constexpr nanoseconds kLongestSleep = std::chrono::milliseconds(50);

bool awaits_drain(const Port &port)
{
    const bool write_draining =
        !port.writes.empty() && port.writes.front().handed == port.writes.front().size;
    const bool empty_awaited = port.wait && (port.mask & EV_TXEMPTY) != 0 && port.output_busy;
    return write_draining || empty_awaited;
}

bool has_unhanded_bytes(const Port &port)
{
    return std::any_of(port.writes.begin(), port.writes.end(),
                       [](const PendingWrite &write) { return write.handed < write.size; });
}

timespec to_timespec(nanoseconds span)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds.count());
    ts.tv_nsec = static_cast<long>((span - seconds).count());
    return ts;
}

}  // namespace

Deadline Deadline::after_ms(DWORD ms)
{
    Deadline deadline;
    if (ms != INFINITE) {
        deadline.at_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }
    return deadline;
}

Deadline Deadline::never() { return Deadline(); }

bool Deadline::passed() const { return at_ && std::chrono::steady_clock::now() >= *at_; }

std::optional<nanoseconds> Deadline::remaining() const
{
    if (!at_) return std::nullopt;
    return std::max(nanoseconds(0), *at_ - std::chrono::steady_clock::now());
}

bool input_told_by_poll(const Port &port)
{
    return (port.mask & EV_RXCHAR) != 0 && port.known_input == 0 && port.writes.empty() &&
           !port.output_busy;
}

bool watched_by_poll_alone(const Port &port) { return port.wait && input_told_by_poll(port); }

void Wakeups::add(const Port &port)
{
    if (port.gone) return;
    // Hang-up and errors are reported whatever is asked for.
    pollfd fd{port.fd, 0, 0};
    const nanoseconds character = character_time(port.dcb);
    if (port.wait && (port.mask & EV_RXCHAR) != 0) {
        // With bytes already queued POLLIN stays ready, so only a recount can tell
        // a new byte from the old ones.
        if (port.known_input == 0) {
            fd.events |= POLLIN;
        } else {
            recheck_within(std::min(character, kLongestRecheck));
        }
    }
    if (has_unhanded_bytes(port)) fd.events |= POLLOUT;
    // Draining has no poll() readiness: look again about when the queue should be empty.
    if (awaits_drain(port)) {
        const nanoseconds left = character * std::max<DWORD>(port.output_queue, 1);
        recheck_within(std::clamp(left, std::min(character, kLongestRecheck), kLongestRecheck));
    }
    fds_.push_back(fd);
}

void Wakeups::recheck_within(nanoseconds interval)
{
    recheck_ = recheck_ ? std::min(*recheck_, interval) : interval;
}

void Wakeups::sleep(std::unique_lock<std::mutex> &table_lock, const Deadline &deadline)
{
    nanoseconds limit = recheck_.value_or(kLongestSleep);
    if (const std::optional<nanoseconds> left = deadline.remaining())
        limit = std::min(limit, *left);
    const timespec timeout = to_timespec(limit);
    table_lock.unlock();
    ::ppoll(fds_.data(), fds_.size(), &timeout, nullptr);
    table_lock.lock();
}

void Wakeups::look_again(Port &port) const
{
    const auto polled =
        std::find_if(fds_.begin(), fds_.end(), [&](const pollfd &fd) { return fd.fd == port.fd; });
    const bool only_input = polled != fds_.end() && polled->revents == POLLIN;
    if (only_input && watched_by_poll_alone(port)) return note_input_seen(port);
    progress(port);
}

}  // namespace win32
