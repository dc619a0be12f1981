// One-parameter writes and one-byte reads: each member is a command byte plus
// a rule that forms its parameter byte or converts its reply.
#include "encodings.h"
#include "serial_api.h"
#include "tester_commands.h"
#include "transaction.h"

namespace enc = tester_encoding;

namespace {

int write_parameter(void *port, unsigned char command, unsigned char parameter)
{
    serial::Transaction transaction(port, command, false);
    if (const int status = transaction.setup()) return status;
    if (const int status = transaction.command_phase()) return status;
    return transaction.send_parameter(parameter, serial::kParamWriteLimitMs);
}

int read_reply(void *port, unsigned char command, unsigned char &reply)
{
    serial::Transaction transaction(port, command, true);
    if (const int status = transaction.setup()) return status;
    if (const int status = transaction.command_phase()) return status;
    if (transaction.received_count() >= 2) {
        reply = transaction.received()[1];
        return TESTER_OK;
    }
    if (const int status = transaction.collect(1, serial::kReplyLimitMs, false)) return status;
    reply = transaction.collected()[0];
    return TESTER_OK;
}

// Stores convert(reply) only when the transaction succeeded.
template <typename Out, typename Convert>
int read_into(void *port, unsigned char command, Out *out, Convert convert)
{
    unsigned char reply = 0;
    const int status = read_reply(port, command, reply);
    if (status == TESTER_OK) *out = convert(reply);
    return status;
}

unsigned char as_received(unsigned char reply) { return reply; }

int write_length(void *port, unsigned char command, int length)
{
    if (!enc::length_in_range(length)) return TESTER_E_RANGE;
    return write_parameter(port, command, enc::length_param(length));
}

}  // namespace

int TESTER_CALL Set_SI(void *port, unsigned char v)
{
    return write_parameter(port, tester_cmd::Set_SI, enc::set_si_param(v));
}
int TESTER_CALL Set_SO(void *port, unsigned char v)
{
    return write_parameter(port, tester_cmd::Set_SO, enc::set_so_param(v));
}
int TESTER_CALL Set_SI_Mod3(void *port, unsigned char p)
{
    return write_parameter(port, tester_cmd::Set_SI_Mod3, p);
}
int TESTER_CALL Set_SI_Mod4(void *port, unsigned char p)
{
    return write_parameter(port, tester_cmd::Set_SI_Mod4, p);
}
int TESTER_CALL WR_Timer_Param(void *port, unsigned char p)
{
    return write_parameter(port, tester_cmd::WR_Timer_Param, p);
}
int TESTER_CALL Set_SO_Mod1(void *port, int length)
{
    return write_length(port, tester_cmd::Set_SO_Mod1, length);
}
int TESTER_CALL Set_SO_Mod2(void *port, int length)
{
    return write_length(port, tester_cmd::Set_SO_Mod2, length);
}

int TESTER_CALL RD_RS(void *port, unsigned char *out)
{
    return read_into(port, tester_cmd::RD_RS, out, enc::decode_status);
}
int TESTER_CALL RD_Mod_SI(void *port, unsigned char *out)
{
    return read_into(port, tester_cmd::RD_Mod_SI, out, as_received);
}
int TESTER_CALL RD_Param_SI(void *port, unsigned char *out)
{
    return read_into(port, tester_cmd::RD_Param_SI, out, as_received);
}
int TESTER_CALL RD_Mod_SO(void *port, unsigned char *out)
{
    return read_into(port, tester_cmd::RD_Mod_SO, out, as_received);
}
int TESTER_CALL RD_Ivent_Flag(void *port, unsigned char *out)
{
    return read_into(port, tester_cmd::RD_Ivent_Flag, out, as_received);
}
int TESTER_CALL RD_Count_Ivent(void *port, unsigned char *out)
{
    return read_into(port, tester_cmd::RD_Count_Ivent, out, as_received);
}
int TESTER_CALL RD_Param_SO(void *port, int *out)
{
    return read_into(port, tester_cmd::RD_Param_SO, out, enc::decode_param_so);
}
int TESTER_CALL RD_Count_SI(void *port, int *out)
{
    return read_into(port, tester_cmd::RD_Count_SI, out, enc::decode_count);
}
int TESTER_CALL RD_Count_SO(void *port, int *out)
{
    return read_into(port, tester_cmd::RD_Count_SO, out, enc::decode_count);
}
