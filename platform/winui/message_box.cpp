// MessageBoxA on a terminal: the box is a line on standard output, so a run's
// output is its transcript; closing it takes a line from standard input.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "cp1251.h"
#include "win32_ui.h"

namespace {

// The title Windows shows when a box is given no caption.
constexpr const char *default_caption = "Error";

// Reads one byte at a time so that a box takes exactly one line and leaves
// the rest of the input to the boxes that follow.
void wait_for_line()
{
    char c = 0;
    for (;;) {
        ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n') return;
    }
}

}  // namespace

extern "C" int MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT)
{
    std::string line = "[" + utf8_from_cp1251(lpCaption ? lpCaption : default_caption) + "] " +
                       utf8_from_cp1251(lpText ? lpText : "") + "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);

    if (isatty(STDIN_FILENO)) {
        // On stderr, so that standard output stays the transcript.
        std::fputs("  (Enter closes the box) ", stderr);
        std::fflush(stderr);
    }
    wait_for_line();
    return IDOK;
}
