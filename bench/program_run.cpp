#include "program_run.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

extern char **environ;

namespace bench {

namespace {

double microseconds(const timeval &time)
{
    return static_cast<double>(time.tv_sec) * 1e6 + static_cast<double>(time.tv_usec);
}

std::vector<std::string> environment_with(const EnvironmentChanges &changes)
{
    std::vector<std::string> entries;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto &change : changes) replaced |= text.rfind(change.first + "=", 0) == 0;
        if (!replaced) entries.push_back(text);
    }
    for (const auto &change : changes) entries.push_back(change.first + "=" + change.second);
    return entries;
}

// A file without a name, so a chatty program can never block on a full pipe.
class CaptureFile {
  public:
    CaptureFile() : file_(std::tmpfile())
    {
        if (file_ == nullptr) throw std::runtime_error(std::string("tmpfile: ") + strerror(errno));
    }
    ~CaptureFile() { std::fclose(file_); }
    CaptureFile(const CaptureFile &) = delete;
    CaptureFile &operator=(const CaptureFile &) = delete;

    int fd() const { return fileno(file_); }

    std::string contents() const
    {
        std::string text;
        char chunk[4096];
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(fd(), chunk, sizeof chunk, at);
            if (n <= 0) return text;
            text.append(chunk, static_cast<std::size_t>(n));
            at += n;
        }
    }

  private:
    std::FILE *file_;
};

}  // namespace

ProgramRun run_program(const std::string &path, const EnvironmentChanges &changes)
{
    const std::vector<std::string> entries = environment_with(changes);
    std::vector<char *> envp;
    for (const std::string &entry : entries) envp.push_back(const_cast<char *>(entry.c_str()));
    envp.push_back(nullptr);
    char *argv[] = {const_cast<char *>(path.c_str()), nullptr};

    CaptureFile output;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output.fd(), STDOUT_FILENO);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int refused = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (refused != 0) throw std::runtime_error("cannot start " + path + ": " + strerror(refused));

    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("waiting for " + path + ": " + strerror(errno));
    }
    const std::chrono::duration<double, std::micro> wall = std::chrono::steady_clock::now() - start;
    return {status, wall.count(), microseconds(usage.ru_utime) + microseconds(usage.ru_stime),
            output.contents()};
}

std::string own_directory()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    const std::string self(path, static_cast<std::size_t>(n));
    return self.substr(0, self.find_last_of('/'));
}

}  // namespace bench
