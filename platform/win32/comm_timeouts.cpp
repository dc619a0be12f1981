// GetCommTimeouts / SetCommTimeouts. Reads here always return at once with what is
// queued and writes have no total limit, so only the time-outs that say exactly
// that are accepted; any other set is refused rather than silently ignored.
#include "handle_table.h"
#include "last_error.h"
#include "win32_comm.h"

namespace {

using namespace win32;

bool reads_at_once_without_write_limit(const COMMTIMEOUTS &timeouts)
{
    return timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == 0 &&
           timeouts.ReadTotalTimeoutConstant == 0 && timeouts.WriteTotalTimeoutMultiplier == 0 &&
           timeouts.WriteTotalTimeoutConstant == 0;
}

}  // namespace

BOOL WINAPI GetCommTimeouts(HANDLE hFile, COMMTIMEOUTS *lpCommTimeouts)
{
    const auto lock = lock_table();
    const Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    if (lpCommTimeouts == nullptr) return failed(ERROR_INVALID_PARAMETER);
    *lpCommTimeouts = port->timeouts;
    return TRUE;
}

BOOL WINAPI SetCommTimeouts(HANDLE hFile, COMMTIMEOUTS *lpCommTimeouts)
{
    const auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    if (lpCommTimeouts == nullptr || !reads_at_once_without_write_limit(*lpCommTimeouts)) {
        return failed(ERROR_INVALID_PARAMETER);
    }
    port->timeouts = *lpCommTimeouts;
    return TRUE;
}
