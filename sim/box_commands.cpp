#include "box_commands.h"

#include <algorithm>
#include <cctype>

#include "tester_commands.h"

namespace tester_sim {
namespace {

namespace cmd = tester_cmd;

constexpr box_command commands[] = {
    {"Tester_Reset", cmd::Tester_Reset, true, 0, 0},
    {"Get_ID", cmd::Get_ID, false, 0, 1},
    {"RD_RS", cmd::RD_RS, true, 0, 1},
    {"Set_SI", cmd::Set_SI, true, 1, 0},
    {"Set_SO", cmd::Set_SO, true, 1, 0},
    {"RD_Mod_SI", cmd::RD_Mod_SI, true, 0, 1},
    {"RD_Param_SI", cmd::RD_Param_SI, true, 0, 1},
    {"RD_Mod_SO", cmd::RD_Mod_SO, true, 0, 1},
    {"RD_Param_SO", cmd::RD_Param_SO, true, 0, 1},
    {"Set_SI_Mod1", cmd::Set_SI_Mod1, true, 0, 0},
    {"Set_SI_Mod2", cmd::Set_SI_Mod2, true, 0, 0},
    {"Set_SI_Mod3", cmd::Set_SI_Mod3, true, 1, 0},
    {"Set_SI_Mod4", cmd::Set_SI_Mod4, true, 1, 0},
    {"RD_Ivent_Flag", cmd::RD_Ivent_Flag, true, 0, 1},
    {"RD_Count_Ivent", cmd::RD_Count_Ivent, true, 0, 1},
    {"Set_SO_Mod1", cmd::Set_SO_Mod1, true, 1, 0},
    {"Set_SO_Mod2", cmd::Set_SO_Mod2, true, 1, 0},
    {"SSI", cmd::SSI, true, 0, 0},
    {"SSO", cmd::SSO, true, 0, 0},
    {"RD_Count_SI", cmd::RD_Count_SI, true, 0, 1},
    {"RD_Count_SO", cmd::RD_Count_SO, true, 0, 1},
    {"Get_ArincWordSI", cmd::Get_ArincWordSI, true, 1, 4},
    {"Get_ArincWordSO", cmd::Get_ArincWordSO, true, 1, 4},
    {"Put_ArincWordSI", cmd::Put_ArincWordSI, true, 5, 0},
    {"Put_ArincWordSO", cmd::Put_ArincWordSO, true, 5, 0},
    {"RD_Timer", cmd::RD_Timer, true, 0, 2},
    {"WR_Timer_Param", cmd::WR_Timer_Param, true, 1, 0},
};

bool same_ignoring_case(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

const box_command *find_command(unsigned char code)
{
    for (const auto &c : commands)
        if (c.code == code) return &c;
    return nullptr;
}

const box_command *find_command(std::string_view name)
{
    for (const auto &c : commands)
        if (same_ignoring_case(c.name, name)) return &c;
    return nullptr;
}

bool is_word_command(unsigned char code)
{
    return code == cmd::Get_ArincWordSI || code == cmd::Get_ArincWordSO ||
           code == cmd::Put_ArincWordSI || code == cmd::Put_ArincWordSO;
}

}  // namespace tester_sim
