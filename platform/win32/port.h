// What the library keeps for one open serial port.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "win32_comm.h"

namespace win32 {

// A WriteFile that has not completed yet. Its bytes belong to the caller until
// it completes or is cancelled, as on Windows.
struct PendingWrite {
    OVERLAPPED *record;  // null once the caller reused the record for another operation
    HANDLE event;        // signalled at completion; null if none or closed since
    const std::uint8_t *bytes;
    DWORD size;
    DWORD handed = 0;            // bytes given to the kernel so far
    std::uint64_t end_mark = 0;  // Port::handed_total right after its last byte was handed
};

// A WaitCommEvent that has not completed yet.
struct PendingWait {
    DWORD *event_mask;  // null once the caller reused the record
    OVERLAPPED *record;
    HANDLE event;
};

struct Port {
    int fd = -1;
    DCB dcb{};  // as last set: a pty ignores some settings, so termios cannot tell
    COMMTIMEOUTS timeouts{};
    DWORD mask = 0;
    DWORD remembered = 0;            // masked events that happened and were not reported yet
    DWORD known_input = 0;           // queued input bytes already accounted for EV_RXCHAR
    DWORD output_queue = 0;          // TIOCOUTQ at the last check
    bool queues_output = true;       // false for a pty: a write is with the other side at once
    bool output_busy = false;        // bytes went out since the output queue was last seen empty
    bool gone = false;               // the device went away; only CloseHandle is left
    std::uint64_t handed_total = 0;  // bytes ever given to the kernel, to order completions
    std::optional<PendingWait> wait;
    std::deque<PendingWrite> writes;  // in the order they were issued
};

}  // namespace win32
