// A port primitives backend that refuses the grant, with the errno value named
// by REFUSED_PORT_GRANT, and ends the process on any port access: it shows what
// a program says when refused and that it then touches no port. Built without
// the grant (WITHOUT_PORT_GRANT) it shows what a missing operation does at load.
#include <cstdio>
#include <cstdlib>

#include "tester_port.h"

namespace {

[[noreturn]] void port_touched()
{
    std::fputs("refusing backend: a port was used without the grant\n", stderr);
    std::abort();
}

}  // namespace

extern "C" unsigned char tester_port_in(unsigned short) { port_touched(); }

extern "C" void tester_port_out(unsigned short, unsigned char) { port_touched(); }

#if !defined(WITHOUT_PORT_GRANT)
extern "C" int tester_port_grant(unsigned short first, unsigned short count)
{
    if (first != 0x3F8 || count != 8) {
        std::fprintf(stderr, "refusing backend: grant asked for %u ports from %#x\n", count, first);
        std::abort();
    }
    const char *refusal = std::getenv("REFUSED_PORT_GRANT");
    return refusal ? std::atoi(refusal) : 0;
}
#endif
