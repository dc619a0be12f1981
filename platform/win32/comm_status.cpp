// ClearCommError: the queue sizes. No line errors are tracked, so none are reported.
#include "handle_table.h"
#include "last_error.h"
#include "port_progress.h"
#include "win32_comm.h"

using namespace win32;

BOOL WINAPI ClearCommError(HANDLE hFile, LPDWORD lpErrors, COMSTAT *lpStat)
{
    const auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    progress(*port);
    if (port->gone) return failed(ERROR_GEN_FAILURE);
    if (lpErrors != nullptr) *lpErrors = 0;
    if (lpStat != nullptr) {
        *lpStat = COMSTAT{};
        lpStat->cbInQue = port->known_input;
        lpStat->cbOutQue = output_backlog(*port);
    }
    return TRUE;
}
