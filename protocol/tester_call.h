// Calling convention and export marking of the tester operations.
#pragma once

// __stdcall only means something on 32-bit x86 Windows; elsewhere it is the default.
#if defined(_WIN32) && defined(__i386__)
#define TESTER_CALL __stdcall
#elif defined(_WIN32) && defined(_M_IX86)
#define TESTER_CALL __stdcall
#else
#define TESTER_CALL
#endif

#if defined(_WIN32)
#if defined(TESTER_BUILDING_DRIVER)
#define TESTER_API __declspec(dllexport)
#else
#define TESTER_API __declspec(dllimport)
#endif
#else
#define TESTER_API __attribute__((visibility("default")))
#endif
