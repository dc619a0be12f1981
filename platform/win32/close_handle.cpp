// CloseHandle for ports and events.
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "handle_table.h"
#include "last_error.h"
#include "port_progress.h"
#include "win32_comm.h"

namespace {

using namespace win32;

void close_port(Port &port)
{
    abort_operations(port, ERROR_OPERATION_ABORTED);
    if (!port.gone) {
        // What is still queued belongs to aborted writes. Dropping it keeps close()
        // from waiting out a line held by flow control. Only when something is
        // queued: on a pty the flush would eat what the other side has not read yet.
        int unsent = 0;
        if (::ioctl(port.fd, TIOCOUTQ, &unsent) == 0 && unsent > 0) ::tcflush(port.fd, TCOFLUSH);
        ::ioctl(port.fd, TIOCNXCL);
    }
    ::flock(port.fd, LOCK_UN);
    ::close(port.fd);
}

}  // namespace

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    const auto lock = lock_table();
    if (Port *port = find_port(hObject)) {
        close_port(*port);
    } else if (find_event(hObject) != nullptr) {
        for_each_port([&](Port &each) { untie_event(each, hObject); });
    } else {
        return failed(ERROR_INVALID_HANDLE);
    }
    erase_handle(hObject);
    return TRUE;
}
