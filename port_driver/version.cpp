#include <cstring>

#include "port_api.h"

void TESTER_CALL version_Velmora_DLL(char *version)
{
    // Three characters and the zero: the caller's buffer holds exactly four.
    std::memcpy(version, "2.0", 4);
}
