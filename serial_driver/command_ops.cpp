// The operations of the command phase alone, Tester_Reset's settle wait, and
// the unechoed identification query.
#include "serial_api.h"
#include "settle_wait.h"
#include "tester_commands.h"
#include "transaction.h"

namespace {

int command_only(void *port, unsigned char command)
{
    serial::Transaction transaction(port, command, false);
    if (const int status = transaction.setup()) return status;
    return transaction.command_phase();
}

}  // namespace

int TESTER_CALL Tester_Reset(void *port)
{
    serial::Transaction transaction(port, tester_cmd::Tester_Reset, false);
    if (const int status = transaction.setup()) return status;
    if (const int status = transaction.command_phase()) return status;
    tester_settle::busy_wait_ms(GetTickCount, tester_settle::kResetSettleMs);
    return TESTER_OK;
}

int TESTER_CALL SSI(void *port) { return command_only(port, tester_cmd::SSI); }
int TESTER_CALL SSO(void *port) { return command_only(port, tester_cmd::SSO); }
int TESTER_CALL Set_SI_Mod1(void *port) { return command_only(port, tester_cmd::Set_SI_Mod1); }
int TESTER_CALL Set_SI_Mod2(void *port) { return command_only(port, tester_cmd::Set_SI_Mod2); }

// A silent box is a failure, not an unchanged byte behind TESTER_OK.
int TESTER_CALL Get_ID(void *port, unsigned char *id)
{
    serial::Transaction transaction(port, tester_cmd::Get_ID, false);
    if (const int status = transaction.setup()) return status;
    unsigned char byte = 0;
    const int status = transaction.identify(byte);
    if (status == TESTER_OK) *id = byte;
    return status;
}
