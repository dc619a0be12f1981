// The process entry of a Windows GUI program: main() hands over to the
// program's WinMain, with the arguments after the program name as its command line.
#include <string>

#include "win32_ui.h"

namespace {

// Windows' SW_SHOWDEFAULT: show the window as the program's starter asked.
constexpr int show_default = 10;

}  // namespace

int main(int argc, char **argv)
{
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command_line += ' ';
        command_line += argv[i];
    }
    return WinMain(nullptr, nullptr, command_line.data(), show_default);
}
