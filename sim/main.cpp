// tester-sim: the tester box on a pseudo-terminal or a serial device, optionally running a
// command against it.
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "child_command.h"
#include "options.h"
#include "pty_server.h"

namespace {

using namespace tester_sim;

constexpr int exit_usage = 2;
constexpr int exit_no_device = 1;

constexpr const char *help_text = R"(Usage: tester-sim [OPTION]... [-- COMMAND [ARG]...]

The ARINC 429 tester box, simulated on a serial line (115200 bit/s, 8N1). It opens a
pseudo-terminal (or the tty device given), says where it listens and serves the box until
SIGINT or SIGTERM. With -- COMMAND it runs the command with COM1 set to that device, ends
when the command ends and returns its exit status (128+n when signal n ended it, 127 when it
could not be started).

Line:
  --device PATH      serve on this tty device (e.g. /dev/ttyS0, the far end of a null-modem
                     cable) instead of a new pseudo-terminal
  --refuse-open      keep the pseudo-terminal locked, so opening it fails (a port that cannot
                     be opened)
  --port-io          no serial line: run COMMAND against the virtual 16550 instead, with
                     LD_LIBRARY_PATH starting with <dir of tester-sim>/../lib/sim and the box
                     options below in TESTER_SIM_OPTIONS (needs -- COMMAND)

Box (the same words go into TESTER_SIM_OPTIONS):
  --fault FAULT      misbehave as FAULT says; may be given more than once
  --pacing on|off    each byte takes 10 bit times on the line (default on)
  --rate BITS        bit rate for pacing, 50 to 10000000 (default 115200; a --device
                     takes 9600 to 230400)
  --turnaround US    microseconds before the echo and before the reply (default 50)
  --loopback on|off  output side wired to input side (default on): once both sides run,
                     the first n output words (n = output length) land in the first n input
                     slots and both counters advance by n
  --log FILE|-       traffic log, one line a byte with time, direction and meaning
                     ("-" for standard error)
  --help             show this text

FAULT is KIND[=VALUE][@TARGET]. Numbers are decimal or 0x hex; times are milliseconds.
  silent             the box ignores the command: no echo, no effect, no reply (at an
                     index: the echo has gone, then nothing)
  echo=BYTE          echo BYTE instead; the box then drops the command
  echo-delay=MS      the echo leaves MS later
  noise=B[,B...]     these bytes go out before the echo (before Get_ID's answer)
  delay=MS           the reply leaves MS later
  split=MS[,K]       the reply goes in pieces of K bytes (default 1), each MS later
  short=N            only the first N reply bytes go out
  answer=VALUE       the reply carries VALUE (a word reply: all four bytes)
  set=MASK           the reply has the bits of MASK set
  clear=MASK         the reply has the bits of MASK cleared
  status=VALUE       RD_RS only: reply the line byte that the drivers decode to VALUE
                     (answer= gives the line byte itself: status=0x0B is answer=0x2B)
  vanish[=N]         the line goes (the pseudo-terminal is closed) after N more bytes
                     from the box, counted from the target or, without one, from the
                     start; vanish alone closes it at once
  stall[=MS]         from the target on, the box takes no byte for MS (ever without MS)
TARGET picks the commands the fault hits; without one it hits every command:
  CMD                an operation name (RD_RS, Get_ArincWordSO, ...) or its byte (0x04)
  CMD:INDEX          a word command at this index (known only after its echo)
  CMD#N              only the N-th time CMD comes (with :INDEX, at that index)
  #N                 only the N-th command overall
Counting starts when the box starts.

Examples:
  tester-sim -- ./selftest_w2k
  tester-sim --fault silent -- ./selftest_w2k
  tester-sim --fault status=0x0B@RD_RS#2 --fault answer=0@Get_ArincWordSO:16
  tester-sim --log - --fault delay=2000@RD_RS#1 --fault silent@Get_ArincWordSI:12
  tester-sim --port-io --fault answer=5@RD_Mod_SI#2 -- ./selftest_port

Exit status: that of COMMAND; 0 after SIGINT/SIGTERM without one; 1 when the device or
the log file cannot be opened; 2 for a bad option or fault.
)";

struct command_line {
    sim_options options;
    std::vector<std::string> option_words;  // the box options as given, for --port-io
    std::string device;
    bool refuse_open = false;
    bool port_io = false;
    bool help = false;
    std::vector<std::string> command;
};

bool parse_command_line(int argc, char **argv, command_line &cl, std::string &error)
{
    const std::vector<std::string> words(argv + 1, argv + argc);
    for (std::size_t next = 0; next < words.size();) {
        const std::string &w = words[next];
        if (w == "--") {
            cl.command.assign(words.begin() + long(next) + 1, words.end());
            if (cl.command.empty()) return error = "-- needs a command after it", false;
            break;
        }
        if (w == "--help") {
            cl.help = true;
            ++next;
        } else if (w == "--port-io") {
            cl.port_io = true;
            ++next;
        } else if (w == "--refuse-open") {
            cl.refuse_open = true;
            ++next;
        } else if (w == "--device") {
            if (next + 1 >= words.size()) return error = "option --device needs a value", false;
            cl.device = words[next + 1];
            next += 2;
        } else {
            const std::size_t first = next;
            if (!parse_option(words, next, cl.options, error)) return false;
            cl.option_words.insert(cl.option_words.end(), words.begin() + long(first),
                                   words.begin() + long(next));
        }
    }
    if (cl.port_io && cl.command.empty())
        return error = "--port-io needs a command (-- COMMAND)", false;
    if (cl.port_io && (!cl.device.empty() || cl.refuse_open))
        return error = "--port-io has no serial line for --device or --refuse-open", false;
    if (cl.refuse_open && !cl.device.empty())
        return error = "--refuse-open needs a pseudo-terminal, not --device", false;
    return true;
}

std::string own_directory()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string p(path, static_cast<std::size_t>(n));
    return p.substr(0, p.find_last_of('/'));
}

std::string joined(const std::vector<std::string> &words)
{
    std::string s;
    for (const auto &w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

int run_port_io(const command_line &cl, const sigset_t &child_mask)
{
    // lib/sim in the build tree; the install may put libraries elsewhere (lib64, a multiarch
    // directory), so that place comes second.
    const std::string dir = own_directory();
    std::string libs = dir + "/../lib/sim";
    if (std::string(TESTER_INSTALL_LIBDIR) != "lib")
        libs += ":" + dir + "/../" TESTER_INSTALL_LIBDIR "/sim";
    if (const char *old = std::getenv("LD_LIBRARY_PATH"); old && *old)
        libs += ":" + std::string(old);
    return run_command(cl.command,
                       {{"LD_LIBRARY_PATH", libs}, {options_variable, joined(cl.option_words)}},
                       child_mask);
}

int serve(const command_line &cl, const sigset_t &child_mask)
{
    pty_server server({cl.options, cl.device, false});
    const std::string path = server.device_path();
    if (cl.refuse_open) {
        server.refuse_open(true);
        std::fprintf(stderr, "tester-sim: %s refuses to be opened (COM1=%s)\n", path.c_str(),
                     path.c_str());
    } else {
        std::fprintf(stderr, "tester-sim: listening on %s (COM1=%s)\n", path.c_str(), path.c_str());
    }
    if (!cl.command.empty()) return run_command(cl.command, {{"COM1", path}}, child_mask);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    int sig = 0;
    sigwait(&stop, &sig);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    command_line cl;
    std::string error;
    if (!parse_command_line(argc, argv, cl, error)) {
        std::fprintf(stderr, "tester-sim: %s\n", error.c_str());
        return exit_usage;
    }
    if (cl.help) {
        std::fputs(help_text, stdout);
        return 0;
    }

    // Signals are taken by sigwait in this thread only; the serving thread inherits the mask.
    sigset_t handled, child_mask;
    sigemptyset(&handled);
    sigaddset(&handled, SIGINT);
    sigaddset(&handled, SIGTERM);
    sigaddset(&handled, SIGCHLD);
    pthread_sigmask(SIG_BLOCK, &handled, &child_mask);

    if (cl.port_io) return run_port_io(cl, child_mask);
    try {
        return serve(cl, child_mask);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tester-sim: %s\n", e.what());
        return exit_no_device;
    }
}
