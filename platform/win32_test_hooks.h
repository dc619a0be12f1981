// Hooks into the Linux stand-in of the Win32 comm subset, for tests only.
#pragma once

#include "win32_comm.h"

#if !defined(_WIN32)
extern "C" {
// GetTickCount returns the monotonic milliseconds plus this offset (mod 2^32), so a
// test can put the 32-bit wrap inside a short wait.
WIN32_API void win32_test_set_tick_offset(DWORD offset_ms);
// Ports and events currently open, for leak checks.
WIN32_API unsigned win32_test_open_handles(void);
}
#endif
