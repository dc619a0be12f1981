// The operation families the benchmark times. The members of a family run the
// same steps with the same bytes on the line, so one operation stands for each.
// Written once for both drivers: the link type picks the driver's overloads.
#pragma once

#include "port_api.h"
#include "serial_api.h"

namespace bench {

enum class Family { command_only, parameter_byte, reply_byte, word_put, word_get, timer, get_id };

struct FamilyInfo {
    Family family;
    const char *name;
    const char *operation;
    int line_bytes;  // both directions
};

inline constexpr FamilyInfo kFamilies[] = {
    {Family::command_only, "command only", "Set_SI_Mod1", 2},
    {Family::parameter_byte, "one parameter byte", "Set_SI_Mod3", 3},
    {Family::reply_byte, "one reply byte", "RD_RS", 3},
    {Family::word_put, "word put", "Put_ArincWordSO", 7},
    {Family::word_get, "word get", "Get_ArincWordSO", 7},
    {Family::timer, "timer", "RD_Timer", 4},
    {Family::get_id, "Get_ID", "Get_ID", 2},
};

// One call of the family's operation; `n` varies the index and the values sent.
template <typename Link>
int call_family(Family family, Link link, unsigned n)
{
    const auto index = static_cast<unsigned char>(n);
    unsigned char byte = 0;
    unsigned long word = 0;
    switch (family) {
        case Family::command_only:
            return Set_SI_Mod1(link);
        case Family::parameter_byte:
            return Set_SI_Mod3(link, index);
        case Family::reply_byte:
            return RD_RS(link, &byte);
        case Family::word_put:
            return Put_ArincWordSO(link, index, 0x12345600UL + index);
        case Family::word_get:
            return Get_ArincWordSO(link, index, &word);
        case Family::timer:
            return RD_Timer(link, &word);
        case Family::get_id:
            return Get_ID(link, &byte);
    }
    return TESTER_E_RANGE;
}

}  // namespace bench
