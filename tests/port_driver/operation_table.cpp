#include "operation_table.h"

#include "port_api.h"
#include "tester_commands.h"

namespace {

using Runner = std::function<Outcome(unsigned short)>;

template <typename Out>
Runner reading(int (*operation)(unsigned short, Out *))
{
    return [operation](unsigned short base) {
        const Out marker = static_cast<Out>(0x5A5A5A5A);
        Out out = marker;
        const int status = operation(base, &out);
        return Outcome{status, out != marker};
    };
}

Runner getting(int (*operation)(unsigned short, unsigned char, unsigned long *),
               unsigned char index)
{
    return [operation, index](unsigned short base) {
        unsigned long word = 0x5A5A5A5A;
        const int status = operation(base, index, &word);
        return Outcome{status, word != 0x5A5A5A5A};
    };
}

template <typename... Args>
Runner calling(int (*operation)(unsigned short, Args...), Args... args)
{
    return [=](unsigned short base) { return Outcome{operation(base, args...), false}; };
}

}  // namespace

std::vector<Operation> operations_with_echo()
{
    namespace cmd = tester_cmd;
    using byte = unsigned char;
    return {
        {"Tester_Reset", {cmd::Tester_Reset}, 0, 0, calling(Tester_Reset)},
        {"SSI", {cmd::SSI}, 0, 0, calling(SSI)},
        {"SSO", {cmd::SSO}, 0, 0, calling(SSO)},
        {"Set_SI_Mod1", {cmd::Set_SI_Mod1}, 0, 0, calling(Set_SI_Mod1)},
        {"Set_SI_Mod2", {cmd::Set_SI_Mod2}, 0, 0, calling(Set_SI_Mod2)},
        {"RD_RS", {cmd::RD_RS}, 0, 1, reading(RD_RS)},
        {"RD_Mod_SI", {cmd::RD_Mod_SI}, 0, 1, reading(RD_Mod_SI)},
        {"RD_Param_SI", {cmd::RD_Param_SI}, 0, 1, reading(RD_Param_SI)},
        {"RD_Mod_SO", {cmd::RD_Mod_SO}, 0, 1, reading(RD_Mod_SO)},
        {"RD_Param_SO", {cmd::RD_Param_SO}, 0, 1, reading(RD_Param_SO)},
        {"RD_Ivent_Flag", {cmd::RD_Ivent_Flag}, 0, 1, reading(RD_Ivent_Flag)},
        {"RD_Count_Ivent", {cmd::RD_Count_Ivent}, 0, 1, reading(RD_Count_Ivent)},
        {"RD_Count_SI", {cmd::RD_Count_SI}, 0, 1, reading(RD_Count_SI)},
        {"RD_Count_SO", {cmd::RD_Count_SO}, 0, 1, reading(RD_Count_SO)},
        {"Set_SI", {cmd::Set_SI, 0x05}, 1, 0, calling<byte>(Set_SI, 0xF9)},
        {"Set_SO", {cmd::Set_SO, 0x28}, 1, 0, calling<byte>(Set_SO, 0xCF)},
        {"Set_SI_Mod3", {cmd::Set_SI_Mod3, 0x15}, 1, 0, calling<byte>(Set_SI_Mod3, 0x15)},
        {"Set_SI_Mod4", {cmd::Set_SI_Mod4, 0xAD}, 1, 0, calling<byte>(Set_SI_Mod4, 0xAD)},
        {"WR_Timer_Param", {cmd::WR_Timer_Param, 0x05}, 1, 0, calling<byte>(WR_Timer_Param, 5)},
        {"Set_SO_Mod1", {cmd::Set_SO_Mod1, 0x3F}, 1, 0, calling(Set_SO_Mod1, 64)},
        {"Set_SO_Mod2", {cmd::Set_SO_Mod2, 0x7F}, 1, 0, calling(Set_SO_Mod2, 128)},
        // The index of a get goes out without a transmitter wait.
        {"Get_ArincWordSI", {cmd::Get_ArincWordSI, 0x40}, 0, 4, getting(Get_ArincWordSI, 0x40)},
        {"Get_ArincWordSO", {cmd::Get_ArincWordSO, 0xFF}, 0, 4, getting(Get_ArincWordSO, 0xFF)},
        {"Put_ArincWordSI",
         {cmd::Put_ArincWordSI, 0x2A, 0x5A, 0x5A, 0x5A, 0x5B},
         5,
         0,
         calling<byte, unsigned long>(Put_ArincWordSI, 0x2A, 0x5A5A5A5B)},
        {"Put_ArincWordSO",
         {cmd::Put_ArincWordSO, 0x00, 0x12, 0x34, 0x56, 0x00},
         5,
         0,
         calling<byte, unsigned long>(Put_ArincWordSO, 0x00, 0x12345600)},
        {"RD_Timer", {cmd::RD_Timer}, 0, 2, reading(RD_Timer)},
    };
}
