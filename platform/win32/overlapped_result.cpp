// GetOverlappedResult and CancelIo for the operations pending on a port.
#include "handle_table.h"
#include "last_error.h"
#include "port_progress.h"
#include "port_wakeups.h"
#include "win32_comm.h"

using namespace win32;

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                LPDWORD lpNumberOfBytesTransferred, BOOL bWait)
{
    auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    if (lpOverlapped == nullptr || lpNumberOfBytesTransferred == nullptr) {
        return failed(ERROR_INVALID_PARAMETER);
    }
    // A finished record has its outcome already; only a pending one needs a look.
    if (is_pending(*port, lpOverlapped)) progress(*port);
    if (is_pending(*port, lpOverlapped)) {
        if (!bWait) return failed(ERROR_IO_INCOMPLETE);
        // Closing the port from another thread completes the record too.
        while (port != nullptr && is_pending(*port, lpOverlapped)) {
            Wakeups wakeups;
            wakeups.add(*port);
            wakeups.sleep(lock, Deadline::never());
            port = find_port(hFile);
            if (port != nullptr) wakeups.look_again(*port);
        }
    } else if (lpOverlapped->Internal == STATUS_PENDING) {
        // Running, but not on this port: nothing here will ever complete it.
        return failed(ERROR_INVALID_PARAMETER);
    }
    *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    if (lpOverlapped->Internal != ERROR_SUCCESS) {
        return failed(static_cast<DWORD>(lpOverlapped->Internal));
    }
    return TRUE;
}

BOOL WINAPI CancelIo(HANDLE hFile)
{
    const auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    // What has already finished is reported as finished, not as cancelled.
    progress(*port);
    abort_operations(*port, ERROR_OPERATION_ABORTED);
    return TRUE;
}
