// ARINC words by index and the timer: the operations that move several data
// bytes in one transaction. SI and SO differ only in their command byte.
#include <cstdint>
#include <initializer_list>

#include "encodings.h"
#include "port_api.h"
#include "tester_commands.h"
#include "uart_exchange.h"

namespace {

// Index, then the word most significant byte first; each byte waits for the
// transmitter, and a byte that does not go out ends the operation.
int put_word(unsigned short port_base, unsigned char command, unsigned char index,
             unsigned long word)
{
    const int status = uart_exchange::command_phase(port_base, command);
    if (status != TESTER_OK) return status;
    const auto data = tester_encoding::word_bytes(static_cast<std::uint32_t>(word));
    for (const unsigned char byte : {index, data[0], data[1], data[2], data[3]}) {
        const int sent = uart_exchange::parameter_phase(port_base, byte);
        if (sent != TESTER_OK) return sent;
    }
    return TESTER_OK;
}

int get_word(unsigned short port_base, unsigned char command, unsigned char index,
             unsigned long *word)
{
    const int status = uart_exchange::command_phase(port_base, command);
    if (status != TESTER_OK) return status;
    // No transmitter wait: the first reply poll covers the index going out.
    uart_exchange::transmit(port_base, index);
    unsigned char bytes[4];
    for (unsigned char &byte : bytes) {
        const int reply = uart_exchange::reply_phase(port_base, &byte);
        if (reply != TESTER_OK) return reply;
    }
    *word = tester_encoding::word_value(bytes);
    return TESTER_OK;
}

}  // namespace

int TESTER_CALL Put_ArincWordSI(unsigned short port_base, unsigned char index, unsigned long word)
{
    return put_word(port_base, tester_cmd::Put_ArincWordSI, index, word);
}

int TESTER_CALL Put_ArincWordSO(unsigned short port_base, unsigned char index, unsigned long word)
{
    return put_word(port_base, tester_cmd::Put_ArincWordSO, index, word);
}

int TESTER_CALL Get_ArincWordSI(unsigned short port_base, unsigned char index, unsigned long *word)
{
    return get_word(port_base, tester_cmd::Get_ArincWordSI, index, word);
}

int TESTER_CALL Get_ArincWordSO(unsigned short port_base, unsigned char index, unsigned long *word)
{
    return get_word(port_base, tester_cmd::Get_ArincWordSO, index, word);
}

// Two reply bytes, taken one at a time after the echo.
int TESTER_CALL RD_Timer(unsigned short port_base, unsigned long *microseconds)
{
    int status = uart_exchange::command_phase(port_base, tester_cmd::RD_Timer);
    unsigned char first = 0;
    unsigned char second = 0;
    if (status == TESTER_OK) status = uart_exchange::reply_phase(port_base, &first);
    if (status == TESTER_OK) status = uart_exchange::reply_phase(port_base, &second);
    if (status == TESTER_OK) *microseconds = tester_encoding::timer_value(first, second);
    return status;
}
