// ARINC word loads and reads by index, and the timer read.
#include "encodings.h"
#include "serial_api.h"
#include "tester_commands.h"
#include "transaction.h"

namespace enc = tester_encoding;

namespace {

int put_word(void *port, unsigned char command, unsigned char index, unsigned long word)
{
    serial::Transaction transaction(port, command, false);
    if (const int status = transaction.setup()) return status;
    if (const int status = transaction.command_phase()) return status;
    if (const int status = transaction.send_parameter(index, serial::kParamWriteLimitMs)) {
        return status;
    }
    const auto bytes = enc::word_bytes(static_cast<std::uint32_t>(word));
    return transaction.send_more(bytes.data(), 4, serial::kDataWriteLimitMs);
}

int get_word(void *port, unsigned char command, unsigned char index, unsigned long *word)
{
    serial::Transaction transaction(port, command, true);
    if (const int status = transaction.setup()) return status;
    if (const int status = transaction.command_phase()) return status;
    transaction.send_unawaited(index);
    if (const int status = transaction.collect(4, serial::kCollectLimitMs, true)) return status;
    *word = enc::word_value(transaction.collected());
    return TESTER_OK;
}

}  // namespace

int TESTER_CALL Put_ArincWordSI(void *port, unsigned char index, unsigned long word)
{
    return put_word(port, tester_cmd::Put_ArincWordSI, index, word);
}
int TESTER_CALL Put_ArincWordSO(void *port, unsigned char index, unsigned long word)
{
    return put_word(port, tester_cmd::Put_ArincWordSO, index, word);
}
int TESTER_CALL Get_ArincWordSI(void *port, unsigned char index, unsigned long *word)
{
    return get_word(port, tester_cmd::Get_ArincWordSI, index, word);
}
int TESTER_CALL Get_ArincWordSO(void *port, unsigned char index, unsigned long *word)
{
    return get_word(port, tester_cmd::Get_ArincWordSO, index, word);
}

// The two timer bytes may come with the echo, one with it, or both later.
int TESTER_CALL RD_Timer(void *port, unsigned long *value)
{
    serial::Transaction transaction(port, tester_cmd::RD_Timer, true);
    if (const int status = transaction.setup()) return status;
    if (const int status = transaction.command_phase()) return status;
    const unsigned char *with_echo = transaction.received();
    unsigned char high = 0;
    unsigned char low = 0;
    switch (transaction.received_count()) {
        case 1:
            if (const int status = transaction.collect(2, serial::kCollectLimitMs, true)) {
                return status;
            }
            high = transaction.collected()[0];
            low = transaction.collected()[1];
            break;
        case 2:
            if (const int status = transaction.collect(1, serial::kReplyLimitMs, false)) {
                return status;
            }
            high = with_echo[1];
            low = transaction.collected()[0];
            break;
        default:
            // Three bytes or more: the two after the echo are the timer's, the
            // rest was surplus the command phase already dropped.
            high = with_echo[1];
            low = with_echo[2];
            break;
    }
    *value = enc::timer_value(high, low);
    return TESTER_OK;
}
