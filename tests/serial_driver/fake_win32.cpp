#include "fake_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>

namespace fake {
namespace {

constexpr std::intptr_t kPortId = 1;
constexpr std::intptr_t kFirstEventId = 100;

constexpr std::uint64_t kNever = UINT64_MAX;

struct Arrival {
    std::uint64_t at;
    Bytes bytes;
};

struct PendingWrite {
    OVERLAPPED *record;
    std::uint64_t done_at;
    DWORD count;
    DWORD error = ERROR_SUCCESS;  // how the write ends
};

struct Scene {
    Box box;
    Faults faults;
    Observed seen;
    std::uint64_t t = 0;  // virtual milliseconds since reset
    DWORD tick_base = kStartTick;
    DWORD last_error = 0;
    bool port_open = false;
    std::map<std::intptr_t, bool> events;  // id -> signalled
    std::intptr_t next_event = kFirstEventId;
    std::vector<Arrival> arrivals;
    Bytes input;
    bool rx_remembered = false;
    OVERLAPPED *wait_record = nullptr;
    DWORD *wait_mask = nullptr;
    std::vector<PendingWrite> writes;
    std::uint64_t vanish_at = kNever;
    int waits = 0, reads = 0, writes_started = 0, clears = 0;
    std::vector<std::string> paths;
};

Scene scene;

std::intptr_t id_of(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }
HANDLE handle_of(std::intptr_t id) { return reinterpret_cast<HANDLE>(id); }

BOOL fail(DWORD error)
{
    scene.last_error = error;
    return FALSE;
}

bool is_port(HANDLE h) { return scene.port_open && id_of(h) == kPortId; }

// A port whose device went away still takes CloseHandle, CancelIo and result queries.
bool is_live_port(HANDLE h) { return is_port(h) && !scene.seen.gone; }

BOOL port_call_fails(HANDLE h)
{
    return fail(is_port(h) ? ERROR_GEN_FAILURE : ERROR_INVALID_HANDLE);
}

std::uint64_t vanish_time(const Faults &faults)
{
    return faults.vanish_after_ms < 0
               ? kNever
               : scene.t + static_cast<std::uint64_t>(faults.vanish_after_ms);
}

void signal(HANDLE event)
{
    auto it = scene.events.find(id_of(event));
    if (it != scene.events.end()) it->second = true;
}

void complete(OVERLAPPED *record, DWORD error, DWORD transferred)
{
    record->Internal = error;
    record->InternalHigh = transferred;
    signal(record->hEvent);
    --scene.seen.pending_ops;
}

void put_on_line(const std::uint8_t *bytes, DWORD count)
{
    Bytes written(bytes, bytes + count);
    scene.seen.line.insert(scene.seen.line.end(), written.begin(), written.end());
    if (!scene.box) return;
    for (Chunk &chunk : scene.box(written)) {
        scene.arrivals.push_back({scene.t + chunk.after_ms, std::move(chunk.bytes)});
    }
}

// An empty chunk is a receive event with nothing behind it.
void receive(const Bytes &bytes)
{
    ++scene.seen.arrivals;
    scene.input.insert(scene.input.end(), bytes.begin(), bytes.end());
    if (!(scene.seen.mask & EV_RXCHAR)) return;
    if (scene.wait_record != nullptr) {
        *scene.wait_mask = EV_RXCHAR;
        OVERLAPPED *record = scene.wait_record;
        scene.wait_record = nullptr;
        complete(record, ERROR_SUCCESS, 0);
    } else {
        scene.rx_remembered = true;
    }
}

std::uint64_t next_happening();
void cancel_all(DWORD error);

// The device goes, and with it what it held and what was on its way.
void go_away()
{
    scene.vanish_at = kNever;
    if (!scene.port_open) return;
    scene.seen.gone = true;
    scene.arrivals.clear();
    scene.input.clear();
    scene.rx_remembered = false;
    cancel_all(ERROR_GEN_FAILURE);
}

// Runs everything due at or before `until`, in time order.
void advance_to(std::uint64_t until)
{
    for (;;) {
        const std::uint64_t next = next_happening();
        if (next == kNever || next > until) break;
        scene.t = std::max(scene.t, next);
        for (auto it = scene.arrivals.begin(); it != scene.arrivals.end();) {
            if (it->at != next) {
                ++it;
                continue;
            }
            Bytes bytes = std::move(it->bytes);
            it = scene.arrivals.erase(it);
            receive(bytes);
        }
        for (auto it = scene.writes.begin(); it != scene.writes.end();) {
            if (it->done_at != next) {
                ++it;
                continue;
            }
            complete(it->record, it->error, it->error == ERROR_SUCCESS ? it->count : 0);
            it = scene.writes.erase(it);
        }
        if (scene.vanish_at == next) go_away();
    }
    scene.t = std::max(scene.t, until);
}

// The earliest time at which something may happen, or kNever.
std::uint64_t next_happening()
{
    std::uint64_t next = kNever;
    for (const Arrival &a : scene.arrivals) next = std::min(next, a.at);
    for (const PendingWrite &w : scene.writes) next = std::min(next, w.done_at);
    return std::min(next, scene.vanish_at);
}

void cancel_all(DWORD error)
{
    if (scene.wait_record != nullptr) {
        OVERLAPPED *record = scene.wait_record;
        scene.wait_record = nullptr;
        complete(record, error, 0);
    }
    for (const PendingWrite &w : scene.writes) complete(w.record, error, 0);
    scene.writes.clear();
}

bool record_pending(const OVERLAPPED *record)
{
    if (scene.wait_record == record) return true;
    return std::any_of(scene.writes.begin(), scene.writes.end(),
                       [&](const PendingWrite &w) { return w.record == record; });
}

}  // namespace

void reset(Box box, Faults faults, DWORD tick_start)
{
    scene = Scene{};
    scene.box = std::move(box);
    scene.faults = faults;
    scene.tick_base = tick_start;
    scene.vanish_at = vanish_time(faults);
    scene.seen.dcb.DCBlength = sizeof(DCB);
    scene.seen.dcb.BaudRate = 9600;
    scene.seen.dcb.ByteSize = 7;
    scene.seen.dcb.Parity = EVENPARITY;
    scene.seen.dcb.StopBits = TWOSTOPBITS;
    scene.seen.dcb.fOutxCtsFlow = 1;
    scene.seen.dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    scene.seen.dcb.XonChar = 0x11;
}

void rescript(Box box, Faults faults)
{
    scene.box = std::move(box);
    scene.faults = faults;
    scene.waits = scene.reads = scene.writes_started = scene.clears = 0;
    scene.vanish_at = vanish_time(faults);
}

HANDLE open_port()
{
    // A fresh handle: no mask, no event remembered from an earlier one.
    scene.port_open = true;
    scene.seen.gone = false;
    scene.seen.mask = 0;
    scene.rx_remembered = false;
    scene.seen.port_handles = 1;
    return handle_of(kPortId);
}

void deliver(DWORD after_ms, Bytes bytes)
{
    scene.arrivals.push_back({scene.t + after_ms, std::move(bytes)});
}

const Observed &observed()
{
    scene.seen.live_events = static_cast<int>(scene.events.size());
    scene.seen.unread = scene.input;
    return scene.seen;
}

void advance(DWORD ms) { advance_to(scene.t + ms); }

DWORD now() { return static_cast<DWORD>(scene.tick_base + scene.t); }
std::vector<std::string> opened_paths() { return scene.paths; }

Box answer(std::uint8_t command, std::vector<Chunk> chunks)
{
    return [command, chunks](const Bytes &written) {
        return written.size() == 1 && written[0] == command ? chunks : std::vector<Chunk>{};
    };
}

}  // namespace fake

using fake::scene;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    scene.paths.emplace_back(name);
    if (scene.faults.open_fails || scene.port_open) {
        scene.last_error = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    return fake::open_port();
}

BOOL WINAPI CloseHandle(HANDLE h)
{
    if (fake::is_port(h)) {
        fake::cancel_all(ERROR_OPERATION_ABORTED);
        scene.port_open = false;
        scene.seen.gone = false;
        scene.seen.port_handles = 0;
        return TRUE;
    }
    auto it = scene.events.find(fake::id_of(h));
    if (it == scene.events.end()) return fake::fail(ERROR_INVALID_HANDLE);
    const bool in_use =
        (scene.wait_record != nullptr && scene.wait_record->hEvent == h) ||
        std::any_of(scene.writes.begin(), scene.writes.end(),
                    [&](const fake::PendingWrite &w) { return w.record->hEvent == h; });
    if (in_use) scene.seen.closed_while_pending = true;
    scene.events.erase(it);
    ++scene.seen.events_closed;
    return TRUE;
}

BOOL WINAPI GetCommState(HANDLE h, DCB *dcb)
{
    if (!fake::is_port(h)) return fake::fail(ERROR_INVALID_HANDLE);
    if (scene.faults.state_read_refused) return fake::fail(ERROR_GEN_FAILURE);
    *dcb = scene.seen.dcb;
    return TRUE;
}

BOOL WINAPI SetCommState(HANDLE h, DCB *dcb)
{
    if (!fake::is_live_port(h)) return fake::port_call_fails(h);
    if (scene.faults.state_refused) return fake::fail(ERROR_INVALID_PARAMETER);
    scene.seen.dcb = *dcb;
    return TRUE;
}

BOOL WINAPI GetCommTimeouts(HANDLE h, COMMTIMEOUTS *t)
{
    if (!fake::is_port(h)) return fake::fail(ERROR_INVALID_HANDLE);
    *t = scene.seen.timeouts;
    return TRUE;
}

BOOL WINAPI SetCommTimeouts(HANDLE h, COMMTIMEOUTS *t)
{
    if (!fake::is_port(h)) return fake::fail(ERROR_INVALID_HANDLE);
    if (scene.faults.timeouts_refused) return fake::fail(ERROR_INVALID_PARAMETER);
    scene.seen.timeouts = *t;
    return TRUE;
}

BOOL WINAPI GetCommMask(HANDLE h, LPDWORD mask)
{
    if (!fake::is_port(h)) return fake::fail(ERROR_INVALID_HANDLE);
    *mask = scene.seen.mask;
    return TRUE;
}

BOOL WINAPI SetCommMask(HANDLE h, DWORD mask)
{
    if (!fake::is_live_port(h)) return fake::port_call_fails(h);
    scene.seen.masks.push_back(mask);
    if ((mask == EV_RXCHAR && scene.faults.rx_mask_refused) ||
        (mask == EV_TXEMPTY && scene.faults.tx_mask_refused)) {
        return fake::fail(ERROR_GEN_FAILURE);
    }
    scene.seen.mask = mask;
    scene.rx_remembered = scene.rx_remembered && (mask & EV_RXCHAR);
    if (scene.wait_record != nullptr) {
        *scene.wait_mask = 0;
        OVERLAPPED *record = scene.wait_record;
        scene.wait_record = nullptr;
        fake::complete(record, ERROR_SUCCESS, 0);
    }
    return TRUE;
}

BOOL WINAPI WaitCommEvent(HANDLE h, LPDWORD mask, LPOVERLAPPED record)
{
    if (!fake::is_live_port(h)) return fake::port_call_fails(h);
    if (scene.waits++ == scene.faults.wait_refused_at) return fake::fail(ERROR_GEN_FAILURE);
    if (scene.seen.mask == 0 || scene.wait_record != nullptr) {
        return fake::fail(ERROR_INVALID_PARAMETER);
    }
    ResetEvent(record->hEvent);
    ++scene.seen.pending_ops;
    if (scene.rx_remembered) {
        scene.rx_remembered = false;
        *mask = EV_RXCHAR;
        fake::complete(record, ERROR_SUCCESS, 0);
        return TRUE;
    }
    record->Internal = STATUS_PENDING;
    scene.wait_record = record;
    scene.wait_mask = mask;
    return fake::fail(ERROR_IO_PENDING);
}

BOOL WINAPI ClearCommError(HANDLE h, LPDWORD errors, COMSTAT *stat)
{
    if (!fake::is_live_port(h)) return fake::port_call_fails(h);
    if (scene.clears++ == scene.faults.clear_refused_at) return fake::fail(ERROR_GEN_FAILURE);
    if (errors != nullptr) *errors = 0;
    if (stat != nullptr) {
        *stat = COMSTAT{};
        stat->cbInQue = static_cast<DWORD>(scene.input.size());
    }
    return TRUE;
}

BOOL WINAPI ReadFile(HANDLE h, LPVOID buffer, DWORD count, LPDWORD got, LPOVERLAPPED record)
{
    if (!fake::is_live_port(h)) return fake::port_call_fails(h);
    if (scene.reads++ == scene.faults.read_refused_at) return fake::fail(ERROR_GEN_FAILURE);
    if (fake::record_pending(record)) return fake::fail(ERROR_INVALID_PARAMETER);
    const DWORD n = std::min<DWORD>(count, static_cast<DWORD>(scene.input.size()));
    if (n > 0) std::memcpy(buffer, scene.input.data(), n);
    scene.seen.taken.insert(scene.seen.taken.end(), scene.input.begin(), scene.input.begin() + n);
    scene.input.erase(scene.input.begin(), scene.input.begin() + n);
    if (got != nullptr) *got = n;
    ResetEvent(record->hEvent);
    ++scene.seen.pending_ops;
    fake::complete(record, ERROR_SUCCESS, n);
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE h, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED record)
{
    if (!fake::is_live_port(h)) return fake::port_call_fails(h);
    const int nth = scene.writes_started++;
    if (nth == scene.faults.write_refused_at) return fake::fail(ERROR_GEN_FAILURE);
    if (fake::record_pending(record)) return fake::fail(ERROR_INVALID_PARAMETER);
    ResetEvent(record->hEvent);
    ++scene.seen.pending_ops;
    if (nth == scene.faults.write_stalls_at) {
        record->Internal = STATUS_PENDING;
        scene.writes.push_back({record, fake::kNever, count});
        return fake::fail(ERROR_IO_PENDING);
    }
    if (nth == scene.faults.write_fails_at) {
        record->Internal = STATUS_PENDING;
        scene.writes.push_back({record, scene.t + scene.faults.write_ms, count, ERROR_GEN_FAILURE});
        return fake::fail(ERROR_IO_PENDING);
    }
    fake::put_on_line(static_cast<const std::uint8_t *>(buffer), count);
    if (scene.faults.write_ms == 0) {
        if (written != nullptr) *written = count;
        fake::complete(record, ERROR_SUCCESS, count);
        return TRUE;
    }
    record->Internal = STATUS_PENDING;
    scene.writes.push_back({record, scene.t + scene.faults.write_ms, count});
    return fake::fail(ERROR_IO_PENDING);
}

BOOL WINAPI GetOverlappedResult(HANDLE h, LPOVERLAPPED record, LPDWORD transferred, BOOL wait)
{
    if (!fake::is_port(h)) return fake::fail(ERROR_INVALID_HANDLE);
    while (record->Internal == STATUS_PENDING) {
        if (!wait) return fake::fail(ERROR_IO_INCOMPLETE);
        const std::uint64_t next = fake::next_happening();
        if (next == fake::kNever) {
            scene.seen.unbounded_wait = true;
            return fake::fail(ERROR_IO_INCOMPLETE);
        }
        fake::advance_to(next);
    }
    *transferred = static_cast<DWORD>(record->InternalHigh);
    return record->Internal == ERROR_SUCCESS ? TRUE
                                             : fake::fail(static_cast<DWORD>(record->Internal));
}

BOOL WINAPI CancelIo(HANDLE h)
{
    if (!fake::is_port(h)) return fake::fail(ERROR_INVALID_HANDLE);
    fake::cancel_all(ERROR_OPERATION_ABORTED);
    return TRUE;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL, BOOL initial, LPCSTR)
{
    const std::intptr_t id = scene.next_event++;
    scene.events[id] = initial != FALSE;
    ++scene.seen.events_created;
    return fake::handle_of(id);
}

BOOL WINAPI SetEvent(HANDLE h)
{
    auto it = scene.events.find(fake::id_of(h));
    if (it == scene.events.end()) return fake::fail(ERROR_INVALID_HANDLE);
    it->second = true;
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE h)
{
    auto it = scene.events.find(fake::id_of(h));
    if (it == scene.events.end()) return fake::fail(ERROR_INVALID_HANDLE);
    it->second = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE h, DWORD ms)
{
    auto signalled = [&] {
        auto it = scene.events.find(fake::id_of(h));
        return it != scene.events.end() && it->second;
    };
    if (scene.events.find(fake::id_of(h)) == scene.events.end()) {
        scene.last_error = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    if (ms == INFINITE) scene.seen.unbounded_wait = true;
    const std::uint64_t deadline = scene.t + ms;
    while (!signalled()) {
        const std::uint64_t next = fake::next_happening();
        if (next == fake::kNever || next > deadline) {
            scene.t = deadline;
            return WAIT_TIMEOUT;
        }
        fake::advance_to(next);
    }
    return WAIT_OBJECT_0;
}

DWORD WINAPI GetLastError(void) { return scene.last_error; }
void WINAPI SetLastError(DWORD error) { scene.last_error = error; }

// Every reading moves virtual time on by one millisecond, so a busy wait ends.
DWORD WINAPI GetTickCount(void)
{
    fake::advance_to(scene.t + 1);
    return fake::now();
}

}  // extern "C"
