// The 27 operations that speak to the box, as both drivers share them: the
// command byte, the shape of the exchange, the bytes a healthy exchange puts on
// the line and how the out-value follows from the reply bytes. The fuzz targets
// hold each driver's calls against this table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tester_ops {

using Bytes = std::vector<std::uint8_t>;

enum class Op {
    Tester_Reset,
    Get_ID,
    RD_RS,
    Set_SI,
    Set_SO,
    RD_Mod_SI,
    RD_Param_SI,
    RD_Mod_SO,
    RD_Param_SO,
    Set_SI_Mod1,
    Set_SI_Mod2,
    Set_SI_Mod3,
    Set_SI_Mod4,
    RD_Ivent_Flag,
    RD_Count_Ivent,
    Set_SO_Mod1,
    Set_SO_Mod2,
    SSI,
    SSO,
    RD_Count_SI,
    RD_Count_SO,
    Get_ArincWordSI,
    Get_ArincWordSO,
    Put_ArincWordSI,
    Put_ArincWordSO,
    RD_Timer,
    WR_Timer_Param,
};

enum class Shape {
    command_only,  // command byte, echo
    identify,      // Get_ID: command byte, one unechoed byte back
    parameter,     // command byte, echo, one parameter byte
    reply,         // command byte, echo, one reply byte
    put,           // command byte, echo, index, four data bytes
    get,           // command byte, echo, index, four reply bytes
    timer,         // command byte, echo, two reply bytes
};

struct OperationInfo {
    Op op;
    const char *name;
    std::uint8_t command;
    Shape shape;
};

extern const std::array<OperationInfo, 27> operations;

// The caller's side of one call; each operation uses what its signature takes.
struct Call {
    std::uint8_t byte_arg = 0;  // parameter byte argument, or a word's index
    int length = 1;             // Set_SO_Mod1/Set_SO_Mod2
    std::uint32_t word = 0;     // Put_ArincWordSI/SO
    std::uint32_t marker = 0;   // what the out-value holds before the call
};

// One of the seven status codes.
bool is_status_code(int status);

// Set_SO_Mod1/Set_SO_Mod2 with a length outside 1..256: refused before the line.
bool refused_before_the_line(const OperationInfo &info, const Call &call);

// The host's writes of a healthy exchange, in order; the serial driver hands each
// to the port in one piece (the four data bytes of a put form one write).
std::vector<Bytes> healthy_writes(const OperationInfo &info, const Call &call);
Bytes healthy_line(const OperationInfo &info, const Call &call);

// Reply bytes the out-value is formed from (Get_ID's identification byte counts).
std::size_t reply_count(Shape shape);
// The out-value, widened to 32 bits, that the reply bytes give.
std::uint32_t out_value(const OperationInfo &info, const std::uint8_t *reply);

}  // namespace tester_ops
