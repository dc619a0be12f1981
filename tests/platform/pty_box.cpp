#include "pty_box.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

PtyBox::PtyBox()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("cannot make a pty");
    }
    slave_path_ = ptsname(master_);
    observer_ = open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (observer_ < 0) throw std::runtime_error("cannot open the pty slave");
}

PtyBox::~PtyBox()
{
    unplug();
    close(observer_);
}

void PtyBox::map_port(const char *variable) const { setenv(variable, slave_path_.c_str(), 1); }

void PtyBox::send(const std::vector<unsigned char> &bytes) const
{
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("pty write failed");
    }
}

std::vector<unsigned char> PtyBox::receive(int patience_ms) const
{
    std::vector<unsigned char> bytes;
    pollfd ready{master_, POLLIN, 0};
    int wait_ms = patience_ms;
    while (poll(&ready, 1, wait_ms) > 0 && (ready.revents & POLLIN) != 0) {
        unsigned char chunk[4096];
        const ssize_t n = read(master_, chunk, sizeof chunk);
        if (n <= 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
        wait_ms = 0;
    }
    return bytes;
}

void PtyBox::unplug()
{
    if (master_ >= 0) close(master_);
    master_ = -1;
}

termios PtyBox::slave_line() const
{
    termios line{};
    if (tcgetattr(observer_, &line) != 0) throw std::runtime_error("tcgetattr failed");
    return line;
}

HANDLE open_port(const char *name)
{
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}
