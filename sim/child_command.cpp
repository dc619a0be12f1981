#include "child_command.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tester_sim {

int run_command(const std::vector<std::string> &argv,
                const std::vector<std::pair<std::string, std::string>> &environment,
                const sigset_t &child_mask)
{
    for (const auto &[name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    // Built before the fork: the child of a threaded process should not allocate.
    const std::string failure = "tester-sim: cannot run " + argv[0] + ": ";

    const pid_t child = fork();
    if (child < 0) {
        const std::string m = failure + std::strerror(errno) + "\n";
        [[maybe_unused]] const auto n = write(STDERR_FILENO, m.data(), m.size());
        return 127;
    }
    if (child == 0) {
        sigprocmask(SIG_SETMASK, &child_mask, nullptr);
        execvp(args[0], args.data());
        const char *why = std::strerror(errno);
        [[maybe_unused]] auto n = write(STDERR_FILENO, failure.data(), failure.size());
        n = write(STDERR_FILENO, why, std::strlen(why));
        n = write(STDERR_FILENO, "\n", 1);
        _exit(127);
    }

    sigset_t waited;
    sigemptyset(&waited);
    sigaddset(&waited, SIGINT);
    sigaddset(&waited, SIGTERM);
    sigaddset(&waited, SIGCHLD);
    while (true) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            return WEXITSTATUS(status);
        }
        siginfo_t info{};
        if (sigwaitinfo(&waited, &info) < 0) continue;
        // si_code <= 0: sent by a process (kill, sigqueue), not by the terminal.
        if (info.si_signo != SIGCHLD && info.si_code <= 0) kill(child, info.si_signo);
    }
}

}  // namespace tester_sim
