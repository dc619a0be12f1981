#include "program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace {

std::vector<std::string> merged_environment(const Environment &extra)
{
    std::vector<std::string> merged;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto &[extra_name, value] : extra) replaced = replaced || extra_name == name;
        if (!replaced) merged.push_back(text);
    }
    for (const auto &[name, value] : extra) merged.push_back(name + "=" + value);
    return merged;
}

std::vector<char *> pointers_to(std::vector<std::string> &texts)
{
    std::vector<char *> pointers;
    for (auto &text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

void fail(const char *what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

ProgramRun run_program(const std::vector<std::string> &argv, const Environment &extra_environment,
                       std::chrono::seconds limit)
{
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) fail("pipe");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    // Its own process group, so that a run that hangs can be ended with its children.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = merged_environment(extra_environment);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, args.front().c_str(), &actions, &attributes,
                              pointers_to(args).data(), pointers_to(env).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        errno = spawned;
        fail(args.front().c_str());
    }

    ProgramRun run;
    auto deadline = std::chrono::steady_clock::now() + limit;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *sinks[2] = {&run.out, &run.errors};
    int open_pipes = 2;
    while (open_pipes > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timed_out = true;
            kill(-pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) fail("poll");
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char chunk[4096];
            ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                sinks[i]->append(chunk, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_pipes;
            }
        }
    }
    for (auto &fd : fds) {
        if (fd.fd >= 0) close(fd.fd);
    }

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exit_status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    return run;
}

std::vector<std::string> ProgramRun::lines() const
{
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}
