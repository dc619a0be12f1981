// The operations that need no more than the command phase: the command-only
// family, Tester_Reset with its settle wait, and Get_ID, which has no echo.
#include "port_api.h"
#include "tester_commands.h"
#include "uart_exchange.h"
#include "win32_comm.h"

namespace {

// The box takes this long after the echo of a reset before it hears again.
constexpr DWORD reset_settle_ms = 25;

int command_only(unsigned short port_base, unsigned char command)
{
    return uart_exchange::command_phase(port_base, command);
}

void wait_for_reset_to_settle()
{
    // Unsigned difference: right across the 32-bit wrap of the tick count.
    const DWORD start = GetTickCount();
    while (static_cast<DWORD>(GetTickCount() - start) < reset_settle_ms) {
    }
}

}  // namespace

int TESTER_CALL Tester_Reset(unsigned short port_base)
{
    const int status = command_only(port_base, tester_cmd::Tester_Reset);
    if (status == TESTER_OK) wait_for_reset_to_settle();
    return status;
}

int TESTER_CALL SSI(unsigned short port_base) { return command_only(port_base, tester_cmd::SSI); }

int TESTER_CALL SSO(unsigned short port_base) { return command_only(port_base, tester_cmd::SSO); }

int TESTER_CALL Set_SI_Mod1(unsigned short port_base)
{
    return command_only(port_base, tester_cmd::Set_SI_Mod1);
}

int TESTER_CALL Set_SI_Mod2(unsigned short port_base)
{
    return command_only(port_base, tester_cmd::Set_SI_Mod2);
}

int TESTER_CALL Get_ID(unsigned short port_base, unsigned char *id)
{
    // The box answers this command with its identification byte instead of an echo.
    uart_exchange::transmit(port_base, tester_cmd::Get_ID);
    return uart_exchange::reply_phase(port_base, id);
}
