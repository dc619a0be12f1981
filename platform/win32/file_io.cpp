// ReadFile / WriteFile on a port. Reads never wait; a write completes once its
// bytes have left the output queue.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

#include "handle_table.h"
#include "last_error.h"
#include "overlapped_record.h"
#include "port_progress.h"
#include "win32_comm.h"

namespace {

using namespace win32;

// Everything queued up to `size` bytes. False when the device went away; the
// bytes read before that are still delivered.
bool read_queued(int fd, std::uint8_t *buffer, DWORD size, DWORD &got)
{
    got = 0;
    while (got < size) {
        const std::size_t ask = std::min<std::size_t>(size - got, SSIZE_MAX);
        const ssize_t n = ::read(fd, buffer + got, ask);
        if (n > 0) {
            got += static_cast<DWORD>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // With VMIN and VTIME 0 an empty queue reads as 0 bytes, and so does
            // a hung-up tty: the caller tells them apart.
            return n == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }
    return true;
}

}  // namespace

// The read itself is the look at the port: bytes it takes show the line is
// alive. Only an empty read, which a hung-up tty also gives, asks the kernel more.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    const auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    if (lpBuffer == nullptr && nNumberOfBytesToRead > 0) return failed(ERROR_INVALID_PARAMETER);
    if (nNumberOfBytesToRead == 0) progress(*port);
    if (port->gone) return failed(ERROR_GEN_FAILURE);

    if (lpOverlapped != nullptr) {
        detach_record(*port, lpOverlapped);
        start_operation(*lpOverlapped);
    }
    DWORD got = 0;
    const bool alive =
        read_queued(port->fd, static_cast<std::uint8_t *>(lpBuffer), nNumberOfBytesToRead, got);
    note_taken(*port, got);
    if (!alive) {
        mark_gone(*port);
    } else if (got < nNumberOfBytesToRead) {
        progress(*port);
    }
    // Bytes that came before the line went are still delivered; the next call
    // reports the loss.
    if (port->gone && got == 0) {
        if (lpOverlapped != nullptr) {
            complete_operation(lpOverlapped, lpOverlapped->hEvent, ERROR_GEN_FAILURE, 0);
        }
        return failed(ERROR_GEN_FAILURE);
    }
    if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = got;
    if (lpOverlapped != nullptr) {
        complete_operation(lpOverlapped, lpOverlapped->hEvent, ERROR_SUCCESS, got);
    }
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    const auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    // The port is overlapped-only: a write that may pend needs its record.
    if (lpOverlapped == nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite > 0)) {
        return failed(ERROR_INVALID_PARAMETER);
    }
    if (port->gone) return failed(ERROR_GEN_FAILURE);

    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
    detach_record(*port, lpOverlapped);
    start_operation(*lpOverlapped);
    if (nNumberOfBytesToWrite == 0) {
        complete_operation(lpOverlapped, lpOverlapped->hEvent, ERROR_SUCCESS, 0);
        return TRUE;
    }
    port->writes.push_back(PendingWrite{lpOverlapped, lpOverlapped->hEvent,
                                        static_cast<const std::uint8_t *>(lpBuffer),
                                        nNumberOfBytesToWrite});
    progress_output(*port);
    if (is_pending(*port, lpOverlapped)) return failed(ERROR_IO_PENDING);
    if (lpOverlapped->Internal != ERROR_SUCCESS) {
        return failed(static_cast<DWORD>(lpOverlapped->Internal));
    }
    if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    return TRUE;
}
