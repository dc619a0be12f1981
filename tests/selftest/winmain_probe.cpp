// A program that shows what the WinMain entry hands over: it prints its
// command line and returns a status of its own.
#include <cstdio>

#include "win32_ui.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    std::printf("%s\n", lpCmdLine);
    return 42;
}
