#include "raw_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim_test {

using clock_type = std::chrono::steady_clock;

raw_line::raw_line(const std::string &path)
{
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        ADD_FAILURE() << "cannot open " << path << ": " << std::strerror(errno);
        return;
    }
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    tcsetattr(fd_, TCSANOW, &t);
}

raw_line::~raw_line()
{
    if (fd_ >= 0) close(fd_);
}

void raw_line::send(const std::vector<unsigned char> &bytes)
{
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::vector<unsigned char> raw_line::receive(std::size_t n, std::chrono::milliseconds wait)
{
    std::vector<unsigned char> got;
    const auto end = clock_type::now() + wait;
    while (got.size() < n) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - clock_type::now());
        if (left.count() <= 0) break;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN)) break;
        unsigned char buf[64];
        const ssize_t r = read(fd_, buf, std::min(sizeof buf, n - got.size()));
        if (r <= 0) break;
        got.insert(got.end(), buf, buf + r);
    }
    return got;
}

bool raw_line::hung_up(std::chrono::milliseconds wait)
{
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(wait.count())) == 1 && (p.revents & (POLLHUP | POLLERR));
}

}  // namespace sim_test
