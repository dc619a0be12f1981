// Command bytes of the tester box, one per operation, named after the operation.
#pragma once

namespace tester_cmd {
constexpr unsigned char Tester_Reset = 0x30;
constexpr unsigned char Get_ID = 0x00;  // not echoed: the box answers its identification byte
constexpr unsigned char RD_RS = 0x04;
constexpr unsigned char Set_SI = 0x88;
constexpr unsigned char Set_SO = 0x89;
constexpr unsigned char RD_Mod_SI = 0xC0;
constexpr unsigned char RD_Param_SI = 0x06;
constexpr unsigned char RD_Mod_SO = 0xC8;
constexpr unsigned char RD_Param_SO = 0x05;
constexpr unsigned char Set_SI_Mod1 = 0xE0;
constexpr unsigned char Set_SI_Mod2 = 0xE1;
constexpr unsigned char Set_SI_Mod3 = 0xE2;
constexpr unsigned char Set_SI_Mod4 = 0xE3;
constexpr unsigned char RD_Ivent_Flag = 0x08;
constexpr unsigned char RD_Count_Ivent = 0x09;
constexpr unsigned char Set_SO_Mod1 = 0xF0;
constexpr unsigned char Set_SO_Mod2 = 0xF1;
constexpr unsigned char SSI = 0x80;
constexpr unsigned char SSO = 0x81;
constexpr unsigned char RD_Count_SI = 0x10;
constexpr unsigned char RD_Count_SO = 0x11;
constexpr unsigned char Get_ArincWordSI = 0x90;
constexpr unsigned char Get_ArincWordSO = 0x91;
constexpr unsigned char Put_ArincWordSI = 0x98;
constexpr unsigned char Put_ArincWordSO = 0x99;
constexpr unsigned char RD_Timer = 0x07;
constexpr unsigned char WR_Timer_Param = 0x26;
}  // namespace tester_cmd
