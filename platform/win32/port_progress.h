// Bringing a port's pending operations and event bookkeeping up to date. With no
// threads, this runs at every call on the port and while a wait drives it.
#pragma once

#include "port.h"

namespace win32 {

// Checks for hang-up, counts new input, hands waiting bytes to the kernel,
// completes drained writes and a wait whose event happened.
void progress(Port &port);

// The same without counting input: all a new write needs, since writing to a
// line that went away fails too.
void progress_output(Port &port);

// poll() found input on a port that had none queued: at least one byte came,
// which is all a full look would add while nothing else is under way.
void note_input_seen(Port &port);

// ReadFile took `taken` bytes off the input queue.
void note_taken(Port &port, DWORD taken);

// Completes a pending wait if a masked event is remembered.
void report_events(Port &port);

// Completes the pending wait with this event mask and error.
void finish_wait(Port &port, DWORD events, DWORD error);

// Completes every pending operation with the error; bytes not yet handed are dropped.
void abort_operations(Port &port, DWORD error);

// The device went away: every pending operation fails, and so will every call.
void mark_gone(Port &port);

// The caller starts a new operation with this record: an older one still pending
// on it carries on but no longer reports to it.
void detach_record(Port &port, const OVERLAPPED *record);

bool is_pending(const Port &port, const OVERLAPPED *record);
bool is_tied_to(const Port &port, HANDLE event);
void untie_event(Port &port, HANDLE event);

// Bytes handed to the kernel but not transmitted, plus those not handed yet.
DWORD output_backlog(const Port &port);

}  // namespace win32
