#include "operation_catalogue.h"

#include "encodings.h"
#include "tester_commands.h"
#include "tester_status.h"

namespace tester_ops {

namespace enc = tester_encoding;
namespace cmd = tester_cmd;

const std::array<OperationInfo, 27> operations = {{
    {Op::Tester_Reset, "Tester_Reset", cmd::Tester_Reset, Shape::command_only},
    {Op::Get_ID, "Get_ID", cmd::Get_ID, Shape::identify},
    {Op::RD_RS, "RD_RS", cmd::RD_RS, Shape::reply},
    {Op::Set_SI, "Set_SI", cmd::Set_SI, Shape::parameter},
    {Op::Set_SO, "Set_SO", cmd::Set_SO, Shape::parameter},
    {Op::RD_Mod_SI, "RD_Mod_SI", cmd::RD_Mod_SI, Shape::reply},
    {Op::RD_Param_SI, "RD_Param_SI", cmd::RD_Param_SI, Shape::reply},
    {Op::RD_Mod_SO, "RD_Mod_SO", cmd::RD_Mod_SO, Shape::reply},
    {Op::RD_Param_SO, "RD_Param_SO", cmd::RD_Param_SO, Shape::reply},
    {Op::Set_SI_Mod1, "Set_SI_Mod1", cmd::Set_SI_Mod1, Shape::command_only},
    {Op::Set_SI_Mod2, "Set_SI_Mod2", cmd::Set_SI_Mod2, Shape::command_only},
    {Op::Set_SI_Mod3, "Set_SI_Mod3", cmd::Set_SI_Mod3, Shape::parameter},
    {Op::Set_SI_Mod4, "Set_SI_Mod4", cmd::Set_SI_Mod4, Shape::parameter},
    {Op::RD_Ivent_Flag, "RD_Ivent_Flag", cmd::RD_Ivent_Flag, Shape::reply},
    {Op::RD_Count_Ivent, "RD_Count_Ivent", cmd::RD_Count_Ivent, Shape::reply},
    {Op::Set_SO_Mod1, "Set_SO_Mod1", cmd::Set_SO_Mod1, Shape::parameter},
    {Op::Set_SO_Mod2, "Set_SO_Mod2", cmd::Set_SO_Mod2, Shape::parameter},
    {Op::SSI, "SSI", cmd::SSI, Shape::command_only},
    {Op::SSO, "SSO", cmd::SSO, Shape::command_only},
    {Op::RD_Count_SI, "RD_Count_SI", cmd::RD_Count_SI, Shape::reply},
    {Op::RD_Count_SO, "RD_Count_SO", cmd::RD_Count_SO, Shape::reply},
    {Op::Get_ArincWordSI, "Get_ArincWordSI", cmd::Get_ArincWordSI, Shape::get},
    {Op::Get_ArincWordSO, "Get_ArincWordSO", cmd::Get_ArincWordSO, Shape::get},
    {Op::Put_ArincWordSI, "Put_ArincWordSI", cmd::Put_ArincWordSI, Shape::put},
    {Op::Put_ArincWordSO, "Put_ArincWordSO", cmd::Put_ArincWordSO, Shape::put},
    {Op::RD_Timer, "RD_Timer", cmd::RD_Timer, Shape::timer},
    {Op::WR_Timer_Param, "WR_Timer_Param", cmd::WR_Timer_Param, Shape::parameter},
}};

namespace {

bool takes_length(Op op) { return op == Op::Set_SO_Mod1 || op == Op::Set_SO_Mod2; }

std::uint8_t parameter_byte(const OperationInfo &info, const Call &call)
{
    switch (info.op) {
        case Op::Set_SI:
            return enc::set_si_param(call.byte_arg);
        case Op::Set_SO:
            return enc::set_so_param(call.byte_arg);
        case Op::Set_SO_Mod1:
        case Op::Set_SO_Mod2:
            return enc::length_param(call.length);
        default:
            return call.byte_arg;
    }
}

}  // namespace

bool is_status_code(int status)
{
    switch (status) {
        case TESTER_OK:
        case TESTER_E_WRITE:
        case TESTER_E_NO_DATA:
        case TESTER_E_PORT:
        case TESTER_E_ECHO:
        case TESTER_E_RANGE:
        case TESTER_E_TIMEOUT:
            return true;
        default:
            return false;
    }
}

bool refused_before_the_line(const OperationInfo &info, const Call &call)
{
    return takes_length(info.op) && !enc::length_in_range(call.length);
}

std::vector<Bytes> healthy_writes(const OperationInfo &info, const Call &call)
{
    if (refused_before_the_line(info, call)) return {};
    switch (info.shape) {
        case Shape::parameter:
            return {{info.command}, {parameter_byte(info, call)}};
        case Shape::put: {
            const auto data = enc::word_bytes(call.word);
            return {{info.command}, {call.byte_arg}, Bytes(data.begin(), data.end())};
        }
        case Shape::get:
            return {{info.command}, {call.byte_arg}};
        default:
            return {{info.command}};
    }
}

Bytes healthy_line(const OperationInfo &info, const Call &call)
{
    Bytes line;
    for (const Bytes &write : healthy_writes(info, call)) {
        line.insert(line.end(), write.begin(), write.end());
    }
    return line;
}

std::size_t reply_count(Shape shape)
{
    switch (shape) {
        case Shape::identify:
        case Shape::reply:
            return 1;
        case Shape::timer:
            return 2;
        case Shape::get:
            return 4;
        default:
            return 0;
    }
}

std::uint32_t out_value(const OperationInfo &info, const std::uint8_t *reply)
{
    switch (info.op) {
        case Op::RD_RS:
            return enc::decode_status(reply[0]);
        case Op::RD_Param_SO:
            return static_cast<std::uint32_t>(enc::decode_param_so(reply[0]));
        case Op::RD_Count_SI:
        case Op::RD_Count_SO:
            return static_cast<std::uint32_t>(enc::decode_count(reply[0]));
        case Op::Get_ArincWordSI:
        case Op::Get_ArincWordSO:
            return enc::word_value(reply);
        case Op::RD_Timer:
            return enc::timer_value(reply[0], reply[1]);
        default:
            return reply[0];
    }
}

}  // namespace tester_ops
