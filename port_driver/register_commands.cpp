// The one-byte reads and the one-parameter writes: a command phase followed by one
// reply phase or one parameter phase, with the byte's value rule applied. Each
// family is one procedure; its members differ only in the lines below it.
#include "encodings.h"
#include "port_api.h"
#include "tester_commands.h"
#include "uart_exchange.h"

namespace {

// The out-value is written only once the reply byte is in.
template <typename Out>
int read_one_byte(unsigned short port_base, unsigned char command, Out (*decode)(unsigned char),
                  Out *out)
{
    int status = uart_exchange::command_phase(port_base, command);
    unsigned char reply = 0;
    if (status == TESTER_OK) status = uart_exchange::reply_phase(port_base, &reply);
    if (status == TESTER_OK) *out = decode(reply);
    return status;
}

constexpr unsigned char unchanged(unsigned char byte) { return byte; }

int write_one_parameter(unsigned short port_base, unsigned char command, unsigned char parameter)
{
    const int status = uart_exchange::command_phase(port_base, command);
    return status == TESTER_OK ? uart_exchange::parameter_phase(port_base, parameter) : status;
}

// A length the box cannot hold is refused before the UART is touched.
int write_length(unsigned short port_base, unsigned char command, int length)
{
    if (!tester_encoding::length_in_range(length)) return TESTER_E_RANGE;
    return write_one_parameter(port_base, command, tester_encoding::length_param(length));
}

}  // namespace

// One reply byte.

int TESTER_CALL RD_RS(unsigned short port_base, unsigned char *status)
{
    return read_one_byte(port_base, tester_cmd::RD_RS, tester_encoding::decode_status, status);
}

int TESTER_CALL RD_Mod_SI(unsigned short port_base, unsigned char *mode)
{
    return read_one_byte(port_base, tester_cmd::RD_Mod_SI, unchanged, mode);
}

int TESTER_CALL RD_Param_SI(unsigned short port_base, unsigned char *parameter)
{
    return read_one_byte(port_base, tester_cmd::RD_Param_SI, unchanged, parameter);
}

int TESTER_CALL RD_Mod_SO(unsigned short port_base, unsigned char *mode)
{
    return read_one_byte(port_base, tester_cmd::RD_Mod_SO, unchanged, mode);
}

int TESTER_CALL RD_Ivent_Flag(unsigned short port_base, unsigned char *flag)
{
    return read_one_byte(port_base, tester_cmd::RD_Ivent_Flag, unchanged, flag);
}

int TESTER_CALL RD_Count_Ivent(unsigned short port_base, unsigned char *count)
{
    return read_one_byte(port_base, tester_cmd::RD_Count_Ivent, unchanged, count);
}

int TESTER_CALL RD_Param_SO(unsigned short port_base, int *length)
{
    return read_one_byte(port_base, tester_cmd::RD_Param_SO, tester_encoding::decode_param_so,
                         length);
}

int TESTER_CALL RD_Count_SI(unsigned short port_base, int *count)
{
    return read_one_byte(port_base, tester_cmd::RD_Count_SI, tester_encoding::decode_count, count);
}

int TESTER_CALL RD_Count_SO(unsigned short port_base, int *count)
{
    return read_one_byte(port_base, tester_cmd::RD_Count_SO, tester_encoding::decode_count, count);
}

// One parameter byte.

int TESTER_CALL Set_SI(unsigned short port_base, unsigned char status)
{
    return write_one_parameter(port_base, tester_cmd::Set_SI,
                               tester_encoding::set_si_param(status));
}

int TESTER_CALL Set_SO(unsigned short port_base, unsigned char status)
{
    return write_one_parameter(port_base, tester_cmd::Set_SO,
                               tester_encoding::set_so_param(status));
}

int TESTER_CALL Set_SI_Mod3(unsigned short port_base, unsigned char parameter)
{
    return write_one_parameter(port_base, tester_cmd::Set_SI_Mod3, parameter);
}

int TESTER_CALL Set_SI_Mod4(unsigned short port_base, unsigned char parameter)
{
    return write_one_parameter(port_base, tester_cmd::Set_SI_Mod4, parameter);
}

int TESTER_CALL WR_Timer_Param(unsigned short port_base, unsigned char parameter)
{
    return write_one_parameter(port_base, tester_cmd::WR_Timer_Param, parameter);
}

int TESTER_CALL Set_SO_Mod1(unsigned short port_base, int length)
{
    return write_length(port_base, tester_cmd::Set_SO_Mod1, length);
}

int TESTER_CALL Set_SO_Mod2(unsigned short port_base, int length)
{
    return write_length(port_base, tester_cmd::Set_SO_Mod2, length);
}
