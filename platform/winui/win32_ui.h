// The Windows user-interface entry points that the self-test uses. On Windows
// they come from <windows.h>; on Linux from our terminal stand-in
// (libtester_winui), where each message box is one line on standard output.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else

struct HWND__;
struct HINSTANCE__;
using HWND = HWND__ *;
using HINSTANCE = HINSTANCE__ *;
using LPSTR = char *;
using LPCSTR = const char *;
using UINT = unsigned int;

#ifndef WINAPI
#define WINAPI
#endif

constexpr UINT MB_OK = 0x00000000u;
constexpr int IDOK = 1;

extern "C" {
// Shows "[<caption>] <text>" as one line (Windows-1251 shown as UTF-8) and
// returns IDOK once the box is closed: by Enter on a terminal, otherwise by one
// line or the end of standard input. A null caption shows the default title.
int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

// Defined by the program; the stand-in's main() calls it and returns its result.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);
}

#endif
