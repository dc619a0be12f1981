// Hardware backend: the x86 IN and OUT byte instructions and nothing more. The
// program must have been granted the ports first, or the CPU faults.
#include "tester_port.h"

#if defined(_MSC_VER)
#include <intrin.h>
#elif defined(__linux__)
#include <sys/io.h>

#include <cerrno>
#endif

unsigned char tester_port_in(unsigned short port)
{
#if defined(_MSC_VER)
    return __inbyte(port);
#else
    unsigned char value;
    __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(port));
    return value;
#endif
}

void tester_port_out(unsigned short port, unsigned char value)
{
#if defined(_MSC_VER)
    __outbyte(port, value);
#else
    __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "Nd"(port));
#endif
}

int tester_port_grant(unsigned short first, unsigned short count)
{
#if defined(__linux__)
    // Exactly these ports; never iopl, which would open every port at once.
    return ioperm(first, count, 1) == 0 ? 0 : errno;
#else
    // Windows grants port access through an I/O-permission driver installed
    // with the program, not per call.
    static_cast<void>(first);
    static_cast<void>(count);
    return 0;
#endif
}
