#include "program_runner.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace sim_test {

std::string first_line(const std::string &text) { return text.substr(0, text.find('\n')); }

background_program::background_program(const std::vector<std::string> &args)
{
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    std::vector<char *> argv;
    for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        execv(argv[0], argv.data());
        _exit(126);
    }
    close(fds[1]);
    err_ = fds[0];
}

background_program::~background_program()
{
    if (pid_ > 0) stop(SIGKILL);
    if (err_ >= 0) close(err_);
}

std::string background_program::error_line(std::chrono::milliseconds wait)
{
    const auto end = std::chrono::steady_clock::now() + wait;
    while (pending_.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd p{err_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
        char buf[256];
        const ssize_t n = read(err_, buf, sizeof buf);
        if (n <= 0) return {};
        pending_.append(buf, static_cast<std::size_t>(n));
    }
    const auto nl = pending_.find('\n');
    std::string line = pending_.substr(0, nl);
    pending_.erase(0, nl + 1);
    return line;
}

int background_program::stop(int signal)
{
    if (pid_ <= 0) return -1;
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

}  // namespace sim_test
