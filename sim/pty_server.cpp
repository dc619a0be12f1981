#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace tester_sim {
namespace {

std::int64_t monotonic_ns()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

timespec to_timespec(std::int64_t ns)
{
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

[[noreturn]] void fail(const std::string &what, int error)
{
    throw std::runtime_error(what + ": " + std::strerror(error));
}

speed_t termios_speed(std::uint32_t rate)
{
    switch (rate) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            throw std::runtime_error("a tty device takes 9600 to 230400 bit/s, not " +
                                     std::to_string(rate));
    }
}

// Raw 8N1 so that no byte is changed, echoed or taken as a control character.
void make_raw(int fd, const std::string &path, std::optional<speed_t> speed)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0) fail("cannot set up " + path, errno);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (speed) cfsetspeed(&t, *speed);
    if (tcsetattr(fd, TCSANOW, &t) != 0) fail("cannot set up " + path, errno);
}

// A pseudo-terminal with its slave side already raw; returns the master.
int open_pty(std::string &slave_path)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) fail("cannot open a pseudo-terminal", errno);
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name)) {
        const int e = errno;
        close(master);
        fail("cannot open a pseudo-terminal", e);
    }
    slave_path = name;
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        const int e = errno;
        close(master);
        fail("cannot open " + slave_path, e);
    }
    try {
        make_raw(slave, slave_path, std::nullopt);
    } catch (...) {
        close(slave);
        close(master);
        throw;
    }
    // The settings stay with the pseudo-terminal after this close, for whoever opens it next.
    close(slave);
    return master;
}

std::string faults_note(const std::vector<fault> &faults)
{
    std::string text = "faults:";
    for (const auto &f : faults) text += " " + f.text;
    return faults.empty() ? text + " none" : text;
}

}  // namespace

pty_server::pty_server(serve_setup setup)
    : device_(std::move(setup.device)),
      keep_traffic_(setup.keep_traffic),
      start_ns_(monotonic_ns()),
      model_(setup.options.box, setup.options.faults)
{
    const std::string &log = setup.options.log_target;
    if (log == "-") {
        log_ = stderr;
    } else if (!log.empty()) {
        log_ = std::fopen(log.c_str(), "w");
        if (!log_) fail("cannot open log file " + log, errno);
        log_owned_ = true;
    }
    if (!setup.options.faults.empty()) note(faults_note(setup.options.faults));
    try {
        open_line();
        if (pipe2(wake_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) fail("cannot make a pipe", errno);
        if (model_.vanished()) close_line("line closed (vanish fault)");
        thread_ = std::thread(&pty_server::serve, this);
    } catch (...) {
        if (line_fd_ >= 0) close(line_fd_);
        for (int fd : wake_pipe_)
            if (fd >= 0) close(fd);
        if (log_owned_) std::fclose(log_);
        throw;
    }
}

pty_server::~pty_server()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
    if (line_fd_ >= 0) close(line_fd_);
    close(wake_pipe_[0]);
    close(wake_pipe_[1]);
    if (log_owned_) std::fclose(log_);
}

void pty_server::open_line()
{
    if (device_.empty()) {
        line_fd_ = open_pty(path_);
    } else {
        const speed_t speed = termios_speed(model_.config().bit_rate);
        line_fd_ = open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (line_fd_ < 0) fail("cannot open " + device_, errno);
        path_ = device_;
        try {
            make_raw(line_fd_, device_, speed);
        } catch (...) {
            close(line_fd_);
            line_fd_ = -1;
            throw;
        }
    }
    // Never block the serving thread on a full line: wait for POLLOUT instead.
    fcntl(line_fd_, F_SETFL, fcntl(line_fd_, F_GETFL) | O_NONBLOCK);
    unwritten_.reset();
}

void pty_server::close_line(const char *why)
{
    if (line_fd_ < 0) return;
    close(line_fd_);
    line_fd_ = -1;
    unwritten_.reset();
    note(why);
}

void pty_server::wake()
{
    const char b = 1;
    // A full pipe already holds a wake-up, so a failed write loses nothing.
    [[maybe_unused]] const auto n = write(wake_pipe_[1], &b, 1);
}

std::uint64_t pty_server::now_us() const
{
    return static_cast<std::uint64_t>(monotonic_ns() - start_ns_) / 1000;
}

void pty_server::record(const traffic_entry &entry)
{
    if (keep_traffic_) traffic_.push_back(entry);
    if (log_) {
        std::fprintf(log_, "%s\n", format_traffic(entry).c_str());
        std::fflush(log_);
    }
}

void pty_server::note(const std::string &text)
{
    if (log_) {
        std::fprintf(log_, "%s\n", format_traffic_note(now_us(), text).c_str());
        std::fflush(log_);
    }
}

// Writes every byte that is due. Returns when the next one is due (0: none queued), or
// sets wants_pollout when the line is full.
std::uint64_t pty_server::write_due(std::uint64_t now, bool &wants_pollout)
{
    while (line_fd_ >= 0 && (unwritten_ || model_.has_output())) {
        const std::uint64_t due = unwritten_ ? unwritten_->t_us : model_.next_output_time();
        if (due > now) return due;
        if (!unwritten_) unwritten_ = model_.pop_output();
        const ssize_t n = write(line_fd_, &unwritten_->value, 1);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            wants_pollout = true;
            return 0;
        }
        if (n == 1)
            record({unwritten_->t_us, direction::box_to_host, unwritten_->value, unwritten_->role});
        else
            note(std::string("byte lost: ") + std::strerror(errno));
        unwritten_.reset();
        if (model_.vanished()) {
            let_host_take_sent_bytes();
            close_line("line closed (vanish fault)");
        }
    }
    return 0;
}

// Closing a pseudo-terminal discards what its slave side has not read yet, yet the host must
// get the bytes sent before the line goes. The kernel hands written bytes to the slave side a
// moment later, so an empty queue only counts once bytes were seen in it or a while has passed.
// Waits at most a second.
void pty_server::let_host_take_sent_bytes()
{
    if (!device_.empty()) {
        tcdrain(line_fd_);
        return;
    }
    const timespec step{0, 1'000'000};
    const std::int64_t start = monotonic_ns();
    const std::int64_t settled = start + 20'000'000, give_up = start + 1'000'000'000;
    const int probe = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) {
        // Held exclusively by the host: allow it a moment instead.
        const timespec grace{0, 50'000'000};
        nanosleep(&grace, nullptr);
        return;
    }
    bool seen = false;
    int unread = 0;
    while (ioctl(probe, FIONREAD, &unread) == 0) {
        const std::int64_t now = monotonic_ns();
        seen = seen || unread > 0;
        if ((unread == 0 && (seen || now >= settled)) || now >= give_up) break;
        nanosleep(&step, nullptr);
    }
    close(probe);
}

void pty_server::read_one(std::uint64_t now)
{
    unsigned char b = 0;
    if (read(line_fd_, &b, 1) != 1) return;
    // A paced host byte cannot have arrived sooner than one byte time after the last one.
    std::uint64_t arrival = now;
    if (model_.config().pacing) arrival = std::max(now, last_arrival_us_ + model_.byte_time_us());
    last_arrival_us_ = arrival;
    record({arrival, direction::host_to_box, b, model_.host_byte(arrival, b)});
    if (model_.vanished()) close_line("line closed (vanish fault)");
}

void pty_server::serve()
{
    constexpr std::int64_t no_peer_wait_ns = 5'000'000;
    // Bytes leave at their time, not up to the default 50 us of timer slack later.
    prctl(PR_SET_TIMERSLACK, 1UL);
    std::unique_lock<std::mutex> lock(mutex_);
    bool no_peer = false;  // nobody holds the slave side open: the master reports a hang-up
    while (!stopping_) {
        bool wants_pollout = false;
        std::uint64_t now = now_us();
        std::uint64_t next_due = write_due(now, wants_pollout);
        const std::uint64_t blocked_until = model_.input_blocked_until();
        const bool takes_input = line_fd_ >= 0 && now >= blocked_until;
        if (line_fd_ >= 0 && !takes_input && blocked_until != forever_us)
            next_due = next_due ? std::min(next_due, blocked_until) : blocked_until;

        pollfd fds[2] = {{wake_pipe_[0], POLLIN, 0}, {line_fd_, 0, 0}};
        if (takes_input && !no_peer) fds[1].events |= POLLIN;
        if (wants_pollout && !no_peer) fds[1].events |= POLLOUT;
        const nfds_t count = fds[1].events ? 2 : 1;
        std::int64_t deadline_ns = next_due ? start_ns_ + std::int64_t(next_due) * 1000 : -1;
        if (no_peer && line_fd_ >= 0) {
            const std::int64_t retry = monotonic_ns() + no_peer_wait_ns;
            deadline_ns = deadline_ns < 0 ? retry : std::min(deadline_ns, retry);
        }

        lock.unlock();
        timespec timeout{};
        const timespec *timeout_ptr = nullptr;
        if (deadline_ns >= 0) {
            timeout = to_timespec(std::max<std::int64_t>(0, deadline_ns - monotonic_ns()));
            timeout_ptr = &timeout;
        }
        const int ready = ppoll(fds, count, timeout_ptr, nullptr);
        if (ready == 0 && deadline_ns >= 0 && monotonic_ns() < deadline_ns) {
            // ppoll may round its timeout; the byte still leaves no earlier than its time.
            const timespec at = to_timespec(deadline_ns);
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
            }
        }
        lock.lock();

        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(wake_pipe_[0], drain, sizeof drain) > 0) {
            }
        }
        no_peer = false;
        if (count == 2 && line_fd_ == fds[1].fd && line_fd_ >= 0) {
            if (fds[1].revents & POLLIN)
                read_one(now_us());
            else if (fds[1].revents & (POLLHUP | POLLERR))
                no_peer = true;
        }
    }
}

std::string pty_server::device_path() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

void pty_server::set_faults(std::vector<fault> faults)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        note(faults_note(faults));
        model_.set_faults(std::move(faults));
        if (model_.vanished()) close_line("line closed (vanish fault)");
    }
    wake();
}

std::vector<traffic_entry> pty_server::traffic() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return traffic_;
}

void pty_server::clear_traffic()
{
    std::lock_guard<std::mutex> lock(mutex_);
    traffic_.clear();
}

box_state pty_server::state() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return model_.state();
}

void pty_server::vanish()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        close_line("line closed on demand");
    }
    wake();
}

bool pty_server::line_open() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return line_fd_ >= 0;
}

std::string pty_server::restore()
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        close_line("line closed for a new one");
        open_line();
        model_.line_restored();
        note("line open on " + path_);
        path = path_;
    }
    wake();
    return path;
}

void pty_server::refuse_open(bool refused)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device_.empty() || line_fd_ < 0)
        throw std::logic_error("refusing opens needs an open pseudo-terminal");
    int lock_flag = refused ? 1 : 0;
    if (ioctl(line_fd_, TIOCSPTLCK, &lock_flag) != 0) fail("cannot lock " + path_, errno);
}

}  // namespace tester_sim
