// A scripted fake of the Win32 comm subset with virtual time, linked in place of
// the real platform so every failure point of the serial driver can be reached.
// One port; the box is a function that answers each write with timed chunks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "win32_comm.h"

namespace fake {

using Bytes = std::vector<std::uint8_t>;

// Bytes that reach the host's input queue `after_ms` after the write that caused them.
struct Chunk {
    DWORD after_ms;
    Bytes bytes;
};

// Called with each write as it reaches the line.
using Box = std::function<std::vector<Chunk>(const Bytes &written)>;

// Refusals and stalls, each by the 0-based count of the call it hits (-1: never).
struct Faults {
    bool open_fails = false;
    bool timeouts_refused = false;
    bool state_refused = false;
    bool state_read_refused = false;
    bool rx_mask_refused = false;
    bool tx_mask_refused = false;
    int wait_refused_at = -1;   // WaitCommEvent
    int read_refused_at = -1;   // ReadFile
    int write_refused_at = -1;  // WriteFile, refused outright
    int write_stalls_at = -1;   // WriteFile, stays pending until cancelled
    int write_fails_at = -1;    // WriteFile, pending, then ends in an error with nothing sent
    int clear_refused_at = -1;  // ClearCommError, refused with its COMSTAT untouched
    DWORD write_ms = 0;         // time a write takes to complete (0: at once)
    // The device goes away this long after the scene (or act) starts: pending
    // operations end in an error, bytes on their way are lost, and every call on
    // the port but CloseHandle fails until it is opened again. Negative: never.
    int vanish_after_ms = -1;
};

struct Observed {
    Bytes line;                // every byte the host put on the line, in order
    std::vector<DWORD> masks;  // every mask the port accepted or refused, in order
    int events_created = 0;
    int events_closed = 0;
    int live_events = 0;
    int pending_ops = 0;                // operations still pending on the port's records
    bool closed_while_pending = false;  // an event closed under a running operation
    bool unbounded_wait = false;        // a wait that could never end was asked for
    DWORD mask = 0;
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    int port_handles = 0;              // open port handles
    std::vector<std::uint8_t> unread;  // still in the host's input queue
    Bytes taken;                       // every byte a read handed to the host, in order
    int arrivals = 0;                  // chunks that reached the input queue
    bool gone = false;                 // the open port's device went away
};

constexpr DWORD kStartTick = 1000;

// Starts a fresh scene: no port open, virtual time at tick_start.
void reset(Box box, Faults faults = {}, DWORD tick_start = kStartTick);
// The next act of the same scene: a new box and new faults, whose call counts
// start again from 0. The port, the input queue, bytes on their way and virtual
// time carry on, so a late byte of one act reaches the next.
void rescript(Box box, Faults faults = {});
// Opens the port the way Init_COM does not: directly, for operation tests.
HANDLE open_port();
// Puts bytes into the input queue at virtual time now + after_ms.
void deliver(DWORD after_ms, Bytes bytes);
// Lets virtual time pass outside any call.
void advance(DWORD ms);
const Observed &observed();
DWORD now();
std::vector<std::string> opened_paths();

// A box that answers one command byte with the given chunks and ignores all else.
Box answer(std::uint8_t command, std::vector<Chunk> chunks);

}  // namespace fake
