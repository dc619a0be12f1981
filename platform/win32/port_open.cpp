// CreateFileA for serial ports: an exclusive, raw, non-blocking tty.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>

#include "handle_table.h"
#include "last_error.h"
#include "line_settings.h"
#include "port_name.h"
#include "win32_comm.h"

namespace {

using namespace win32;

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

// Character majors of the pty slaves (/dev/pts/N).
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorCount = 8;

HANDLE refuse(DWORD error)
{
    failed(error);
    return INVALID_HANDLE_VALUE;
}

HANDLE refuse_and_close(int fd, DWORD error)
{
    ::close(fd);
    return refuse(error);
}

DWORD open_error(int error)
{
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENXIO:
        case ENODEV:
        case EIO:  // a /dev/ttyS node with no UART behind it
            return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EBUSY:  // held by another opener with TIOCEXCL
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENOMEM:
        case EMFILE:
        case ENFILE:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_GEN_FAILURE;
    }
}

bool make_raw(int fd, termios &line)
{
    if (::tcgetattr(fd, &line) != 0) return false;
    ::cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    line.c_cc[VSTART] = kXon;
    line.c_cc[VSTOP] = kXoff;
    return ::tcsetattr(fd, TCSANOW, &line) == 0;
}

// Replies reach us a tick sooner; ptys and unprivileged callers just go without.
void ask_low_latency(int fd)
{
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

// A pty passes what is written straight to the other side, so it never has an
// output queue worth asking about.
bool is_pty_slave(int fd)
{
    struct stat node {};
    if (::fstat(fd, &node) != 0 || !S_ISCHR(node.st_mode)) return false;
    const unsigned device_major = major(node.st_rdev);
    return device_major >= kPtySlaveMajorFirst &&
           device_major < kPtySlaveMajorFirst + kPtySlaveMajorCount;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD /*dwDesiredAccess*/, DWORD /*dwShareMode*/,
                          LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/,
                          DWORD dwCreationDisposition, DWORD /*dwFlagsAndAttributes*/,
                          HANDLE /*hTemplateFile*/)
{
    // Serial ports exist or not; they are never created. Every port is opened for
    // reading and writing, exclusively, for overlapped I/O, whatever else is asked.
    if (lpFileName == nullptr || dwCreationDisposition != OPEN_EXISTING) {
        return refuse(ERROR_INVALID_PARAMETER);
    }
    const std::optional<std::string> path = device_path(lpFileName);
    if (!path) return refuse(ERROR_FILE_NOT_FOUND);

    const int fd = ::open(path->c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return refuse(open_error(errno));
    if (::isatty(fd) == 0) return refuse_and_close(fd, ERROR_FILE_NOT_FOUND);
    // flock keeps out every other opener, root included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return refuse_and_close(fd, errno == EWOULDBLOCK ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE);
    }
    termios line{};
    if (!make_raw(fd, line)) return refuse_and_close(fd, ERROR_GEN_FAILURE);
    ask_low_latency(fd);
    // Also keeps out programs that do not use flock. The flag outlives this fd while
    // others hold the tty, so every path that closes the port clears it again.
    ::ioctl(fd, TIOCEXCL);

    auto port = std::make_unique<Port>();
    port->fd = fd;
    port->dcb = line_settings_of(line);
    port->queues_output = !is_pty_slave(fd);
    // The only read behaviour offered: return at once with what is queued.
    port->timeouts = COMMTIMEOUTS{MAXDWORD, 0, 0, 0, 0};
    int queued = 0;
    if (::ioctl(fd, FIONREAD, &queued) == 0) port->known_input = static_cast<DWORD>(queued);

    const auto lock = lock_table();
    const HANDLE handle = insert_port(std::move(port));
    if (handle == nullptr) {
        ::ioctl(fd, TIOCNXCL);
        return refuse_and_close(fd, ERROR_NOT_ENOUGH_MEMORY);
    }
    return handle;
}
