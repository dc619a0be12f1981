// Sleeping until a pending operation may have moved on: there are no threads, so
// whoever waits drives the ports itself.
#pragma once

#include <poll.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "port.h"

namespace win32 {

class Deadline {
  public:
    static Deadline after_ms(DWORD ms);  // INFINITE never passes
    static Deadline never();
    bool passed() const;
    // Time left, or nullopt when there is no deadline.
    std::optional<std::chrono::nanoseconds> remaining() const;

  private:
    std::optional<std::chrono::steady_clock::time_point> at_;
};

// True when only input can move the port on and none is queued: POLLIN then
// reports every new byte, and a hang-up, without a look beforehand.
bool input_told_by_poll(const Port &port);

// The same for a port with a pending wait.
bool watched_by_poll_alone(const Port &port);

// What to sleep on for a set of ports.
class Wakeups {
  public:
    void add(const Port &port);
    // Sleeps with the table unlocked until a port needs a look, the next recheck
    // is due or the deadline comes.
    void sleep(std::unique_lock<std::mutex> &table_lock, const Deadline &deadline);
    // After the sleep: brings the port up to date, trusting poll() where it
    // already tells everything a look would find.
    void look_again(Port &port) const;

  private:
    void recheck_within(std::chrono::nanoseconds interval);

    std::vector<pollfd> fds_;
    std::optional<std::chrono::nanoseconds> recheck_;
};

}  // namespace win32
