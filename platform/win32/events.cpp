// Events: CreateEventA / SetEvent / ResetEvent / WaitForSingleObject. A wait on an
// event tied to a pending port operation drives that operation until it completes.
#include <optional>
#include <utility>

#include "handle_table.h"
#include "last_error.h"
#include "port_progress.h"
#include "port_wakeups.h"
#include "win32_comm.h"

using namespace win32;

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES /*lpEventAttributes*/, BOOL bManualReset,
                           BOOL bInitialState, LPCSTR lpName)
{
    // Named events are shared between processes on Windows; not offered here.
    if (lpName != nullptr) {
        failed(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto lock = lock_table();
    const HANDLE handle = insert_event(Event{bManualReset != FALSE, bInitialState != FALSE});
    if (handle == nullptr) failed(ERROR_NOT_ENOUGH_MEMORY);
    return handle;
}

BOOL WINAPI SetEvent(HANDLE hEvent)
{
    const auto lock = lock_table();
    Event *event = find_event(hEvent);
    if (event == nullptr) return failed(ERROR_INVALID_HANDLE);
    event->signalled = true;
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent)
{
    const auto lock = lock_table();
    Event *event = find_event(hEvent);
    if (event == nullptr) return failed(ERROR_INVALID_HANDLE);
    event->signalled = false;
    return TRUE;
}

namespace {

// WAIT_OBJECT_0 for a signalled event (an auto-reset one is reset by it),
// WAIT_FAILED for a handle that is no event, nothing while it is unsignalled.
std::optional<DWORD> take_signal(HANDLE handle)
{
    Event *event = find_event(handle);
    if (event == nullptr) {
        failed(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (!event->signalled) return std::nullopt;
    if (!event->manual_reset) event->signalled = false;
    return WAIT_OBJECT_0;
}

}  // namespace

// Only events can be waited on.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    auto lock = lock_table();
    // The calls that started a port's operations have just looked at it. What
    // completed as it started has signalled already and needs no further look. A
    // port that only awaits input is watched by poll(), which answers at once for
    // what came since, so before the first sleep that poll is the look.
    if (const std::optional<DWORD> outcome = take_signal(hHandle)) return *outcome;
    const Deadline deadline = Deadline::after_ms(dwMilliseconds);
    std::optional<Wakeups> slept_on;
    for (;;) {
        const bool last_round = deadline.passed();
        Wakeups wakeups;
        for_each_port([&](Port &port) {
            if (!is_tied_to(port, hHandle)) return;
            if (slept_on) {
                slept_on->look_again(port);
            } else if (last_round || !watched_by_poll_alone(port)) {
                progress(port);
            }
            wakeups.add(port);
        });
        // Looked up on every round: another thread may have closed it meanwhile.
        if (const std::optional<DWORD> outcome = take_signal(hHandle)) return *outcome;
        if (last_round) return WAIT_TIMEOUT;
        wakeups.sleep(lock, deadline);
        slept_on = std::move(wakeups);
    }
}
