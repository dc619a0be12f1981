// SetCommMask / GetCommMask / WaitCommEvent with EV_RXCHAR and EV_TXEMPTY.
#include "handle_table.h"
#include "last_error.h"
#include "overlapped_record.h"
#include "port_progress.h"
#include "port_wakeups.h"
#include "win32_comm.h"

namespace {

using namespace win32;

constexpr DWORD kSupportedEvents = EV_RXCHAR | EV_TXEMPTY;

}  // namespace

BOOL WINAPI GetCommMask(HANDLE hFile, LPDWORD lpEvtMask)
{
    const auto lock = lock_table();
    const Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    if (lpEvtMask == nullptr) return failed(ERROR_INVALID_PARAMETER);
    *lpEvtMask = port->mask;
    return TRUE;
}

BOOL WINAPI SetCommMask(HANDLE hFile, DWORD dwEvtMask)
{
    const auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    if ((dwEvtMask & ~kSupportedEvents) != 0) return failed(ERROR_INVALID_PARAMETER);
    // What happened under the old mask is counted first, so that bytes already
    // queued now are not taken for new ones under the new mask.
    progress(*port);
    if (port->gone) return failed(ERROR_GEN_FAILURE);
    finish_wait(*port, 0, ERROR_SUCCESS);
    port->mask = dwEvtMask;
    port->remembered &= dwEvtMask;
    return TRUE;
}

BOOL WINAPI WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped)
{
    const auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    // The port is overlapped-only: a wait always needs its record.
    if (lpEvtMask == nullptr || lpOverlapped == nullptr) return failed(ERROR_INVALID_PARAMETER);
    // While poll() alone can tell of the next byte, the wait's first poll is the
    // look: a byte that came since is reported there, at once.
    if (!input_told_by_poll(*port)) progress(*port);
    if (port->gone) return failed(ERROR_GEN_FAILURE);
    if (port->mask == 0 || port->wait) return failed(ERROR_INVALID_PARAMETER);

    detach_record(*port, lpOverlapped);
    start_operation(*lpOverlapped);
    port->wait = PendingWait{lpEvtMask, lpOverlapped, lpOverlapped->hEvent};
    report_events(*port);
    if (!port->wait) return TRUE;
    return failed(ERROR_IO_PENDING);
}
