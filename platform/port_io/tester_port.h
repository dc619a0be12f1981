// The port primitives through which DorvaneDLL reaches its UART, and the grant
// that a program asks for before it uses them. Two backends build them under one
// library name (libtester_port): the x86 IN/OUT instructions here, and a virtual
// 16550 wired to the box simulator; the library search path picks which loads.
#pragma once

#if defined(_WIN32)
#if defined(TESTER_BUILDING_PORT_IO)
#define TESTER_PORT_API __declspec(dllexport)
#else
#define TESTER_PORT_API __declspec(dllimport)
#endif
#else
#define TESTER_PORT_API __attribute__((visibility("default")))
#endif

extern "C" TESTER_PORT_API unsigned char tester_port_in(unsigned short port);
extern "C" TESTER_PORT_API void tester_port_out(unsigned short port, unsigned char value);

// The right to use ports first to first + count - 1: 0 when granted, else an
// errno value (EPERM without root or CAP_SYS_RAWIO, ENOSYS where the kernel has
// no port permissions at all).
extern "C" TESTER_PORT_API int tester_port_grant(unsigned short first, unsigned short count);
