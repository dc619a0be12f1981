// GetCommState / SetCommState: the DCB over termios and the modem lines.
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "handle_table.h"
#include "last_error.h"
#include "line_settings.h"
#include "win32_comm.h"

namespace {

using namespace win32;

// Best effort: a pty has no modem lines.
void set_line(int fd, int line, bool raised) { ::ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &line); }

void apply_modem_lines(int fd, const DCB &dcb)
{
    set_line(fd, TIOCM_DTR, dcb.fDtrControl == DTR_CONTROL_ENABLE);
    if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE) {
        set_line(fd, TIOCM_RTS, dcb.fRtsControl == RTS_CONTROL_ENABLE);
    }
}

}  // namespace

BOOL WINAPI GetCommState(HANDLE hFile, DCB *lpDCB)
{
    const auto lock = lock_table();
    const Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    if (lpDCB == nullptr) return failed(ERROR_INVALID_PARAMETER);
    *lpDCB = port->dcb;
    return TRUE;
}

// DCBlength is not checked: the record has one layout here.
BOOL WINAPI SetCommState(HANDLE hFile, DCB *lpDCB)
{
    const auto lock = lock_table();
    Port *port = find_port(hFile);
    if (port == nullptr) return failed(ERROR_INVALID_HANDLE);
    if (lpDCB == nullptr) return failed(ERROR_INVALID_PARAMETER);
    if (port->gone) return failed(ERROR_GEN_FAILURE);

    termios line{};
    if (::tcgetattr(port->fd, &line) != 0) return failed(ERROR_GEN_FAILURE);
    if (!apply_line_settings(*lpDCB, line)) return failed(ERROR_INVALID_PARAMETER);
    if (::tcsetattr(port->fd, TCSANOW, &line) != 0) {
        return failed(errno == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_GEN_FAILURE);
    }
    apply_modem_lines(port->fd, *lpDCB);
    port->dcb = *lpDCB;
    port->dcb.DCBlength = sizeof(DCB);
    return TRUE;
}
