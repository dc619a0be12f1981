#include "port_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "overlapped_record.h"

namespace win32 {

namespace {

void note_arrival(Port &port)
{
    if ((port.mask & EV_RXCHAR) != 0) port.remembered |= EV_RXCHAR;
}

// Bytes already queued when the mask was set are not new: only growth counts.
void note_queued(Port &port, DWORD queued)
{
    if (queued > port.known_input) note_arrival(port);
    port.known_input = queued;
}

// False when the device went away.
bool hand_over(Port &port)
{
    for (PendingWrite &write : port.writes) {
        while (write.handed < write.size) {
            const ssize_t n =
                ::write(port.fd, write.bytes + write.handed, write.size - write.handed);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            if (n < 0) return false;
            if (n == 0) return true;
            write.handed += static_cast<DWORD>(n);
            port.handed_total += static_cast<std::uint64_t>(n);
            port.output_busy = true;
            if (write.handed == write.size) write.end_mark = port.handed_total;
        }
    }
    return true;
}

// A write is done once all its bytes were handed and the output queue holds no
// more than the bytes handed after it.
void complete_sent_writes(Port &port)
{
    while (!port.writes.empty()) {
        const PendingWrite &write = port.writes.front();
        if (write.handed < write.size) return;
        if (port.output_queue > port.handed_total - write.end_mark) return;
        complete_operation(write.record, write.event, ERROR_SUCCESS, write.size);
        port.writes.pop_front();
    }
}

void note_output_drained(Port &port)
{
    if (!port.output_busy || port.output_queue != 0 || !port.writes.empty()) return;
    port.output_busy = false;
    if ((port.mask & EV_TXEMPTY) != 0) port.remembered |= EV_TXEMPTY;
}

}  // namespace

// Runs at nearly every call, so it asks the kernel as little as it can: one
// FIONREAD, and the output queue only while output is under way on a device
// that has one. A hung-up tty
// (pty master closed, USB adapter pulled) fails every ioctl with EIO, which is
// how its loss is noticed.
void progress(Port &port)
{
    if (port.gone) return;
    int queued = 0;
    if (::ioctl(port.fd, FIONREAD, &queued) != 0) return mark_gone(port);
    note_queued(port, static_cast<DWORD>(queued));
    progress_output(port);
}

void progress_output(Port &port)
{
    if (port.gone) return;
    if (!hand_over(port)) return mark_gone(port);
    if (port.queues_output && (!port.writes.empty() || port.output_busy)) {
        int unsent = 0;
        if (::ioctl(port.fd, TIOCOUTQ, &unsent) != 0) return mark_gone(port);
        port.output_queue = static_cast<DWORD>(unsent);
    }
    complete_sent_writes(port);
    note_output_drained(port);
    report_events(port);
}

void note_input_seen(Port &port)
{
    // Counting only the one byte known for sure: any more show up as new at the
    // next count, which reports an arrival rather than lose one.
    note_queued(port, std::max<DWORD>(port.known_input, 1));
    report_events(port);
}

void note_taken(Port &port, DWORD taken)
{
    // A read can take bytes that arrived after the last count: those are new too.
    if (taken > port.known_input) note_arrival(port);
    port.known_input = taken < port.known_input ? port.known_input - taken : 0;
    report_events(port);
}

void report_events(Port &port)
{
    const DWORD events = port.remembered & port.mask;
    if (!port.wait || events == 0) return;
    port.remembered &= ~events;
    finish_wait(port, events, ERROR_SUCCESS);
}

void finish_wait(Port &port, DWORD events, DWORD error)
{
    if (!port.wait) return;
    const PendingWait wait = *port.wait;
    port.wait.reset();
    if (wait.event_mask != nullptr) *wait.event_mask = events;
    complete_operation(wait.record, wait.event, error, 0);
}

void abort_operations(Port &port, DWORD error)
{
    finish_wait(port, 0, error);
    while (!port.writes.empty()) {
        const PendingWrite write = port.writes.front();
        port.writes.pop_front();
        complete_operation(write.record, write.event, error, write.handed);
    }
}

void mark_gone(Port &port)
{
    port.gone = true;
    abort_operations(port, ERROR_GEN_FAILURE);
}

void detach_record(Port &port, const OVERLAPPED *record)
{
    if (port.wait && port.wait->record == record) {
        port.wait->record = nullptr;
        port.wait->event = nullptr;
        port.wait->event_mask = nullptr;
    }
    for (PendingWrite &write : port.writes) {
        if (write.record != record) continue;
        write.record = nullptr;
        write.event = nullptr;
    }
}

bool is_pending(const Port &port, const OVERLAPPED *record)
{
    if (record == nullptr) return false;
    if (port.wait && port.wait->record == record) return true;
    for (const PendingWrite &write : port.writes) {
        if (write.record == record) return true;
    }
    return false;
}

bool is_tied_to(const Port &port, HANDLE event)
{
    if (event == nullptr) return false;
    if (port.wait && port.wait->event == event) return true;
    for (const PendingWrite &write : port.writes) {
        if (write.event == event) return true;
    }
    return false;
}

void untie_event(Port &port, HANDLE event)
{
    if (port.wait && port.wait->event == event) port.wait->event = nullptr;
    for (PendingWrite &write : port.writes) {
        if (write.event == event) write.event = nullptr;
    }
}

DWORD output_backlog(const Port &port)
{
    DWORD backlog = port.output_queue;
    for (const PendingWrite &write : port.writes) backlog += write.size - write.handed;
    return backlog;
}

}  // namespace win32
