// Calls one operation of the table on either driver: overload resolution on the
// link type picks the serial (void *) or the port-I/O (unsigned short) function.
// Each out-value lives in its own heap object of its exact type, starting as the
// call's marker, so a store past it shows under AddressSanitizer.
#pragma once

#include <cstdint>
#include <memory>

#include "operation_catalogue.h"
#include "port_api.h"
#include "serial_api.h"

namespace tester_ops {

struct Outcome {
    int status;
    bool out_changed;   // the out-value differs from the marker
    std::uint64_t out;  // widened, so a value wider than its type would show
};

namespace detail {

template <typename Out, typename Run>
Outcome with_out(std::uint32_t marker, Run run)
{
    const Out before = static_cast<Out>(marker);
    auto out = std::make_unique<Out>(before);
    const int status = run(out.get());
    return {status, *out != before, static_cast<std::uint64_t>(*out)};
}

inline Outcome without_out(int status) { return {status, false, 0}; }

}  // namespace detail

template <typename Link>
Outcome run_operation(Link link, Op op, const Call &c)
{
    using detail::with_out;
    using detail::without_out;
    using Byte = unsigned char;
    using Word = unsigned long;
    switch (op) {
        case Op::Tester_Reset:
            return without_out(Tester_Reset(link));
        case Op::Get_ID:
            return with_out<Byte>(c.marker, [&](Byte *o) { return Get_ID(link, o); });
        case Op::RD_RS:
            return with_out<Byte>(c.marker, [&](Byte *o) { return RD_RS(link, o); });
        case Op::Set_SI:
            return without_out(Set_SI(link, c.byte_arg));
        case Op::Set_SO:
            return without_out(Set_SO(link, c.byte_arg));
        case Op::RD_Mod_SI:
            return with_out<Byte>(c.marker, [&](Byte *o) { return RD_Mod_SI(link, o); });
        case Op::RD_Param_SI:
            return with_out<Byte>(c.marker, [&](Byte *o) { return RD_Param_SI(link, o); });
        case Op::RD_Mod_SO:
            return with_out<Byte>(c.marker, [&](Byte *o) { return RD_Mod_SO(link, o); });
        case Op::RD_Param_SO:
            return with_out<int>(c.marker, [&](int *o) { return RD_Param_SO(link, o); });
        case Op::Set_SI_Mod1:
            return without_out(Set_SI_Mod1(link));
        case Op::Set_SI_Mod2:
            return without_out(Set_SI_Mod2(link));
        case Op::Set_SI_Mod3:
            return without_out(Set_SI_Mod3(link, c.byte_arg));
        case Op::Set_SI_Mod4:
            return without_out(Set_SI_Mod4(link, c.byte_arg));
        case Op::RD_Ivent_Flag:
            return with_out<Byte>(c.marker, [&](Byte *o) { return RD_Ivent_Flag(link, o); });
        case Op::RD_Count_Ivent:
            return with_out<Byte>(c.marker, [&](Byte *o) { return RD_Count_Ivent(link, o); });
        case Op::Set_SO_Mod1:
            return without_out(Set_SO_Mod1(link, c.length));
        case Op::Set_SO_Mod2:
            return without_out(Set_SO_Mod2(link, c.length));
        case Op::SSI:
            return without_out(SSI(link));
        case Op::SSO:
            return without_out(SSO(link));
        case Op::RD_Count_SI:
            return with_out<int>(c.marker, [&](int *o) { return RD_Count_SI(link, o); });
        case Op::RD_Count_SO:
            return with_out<int>(c.marker, [&](int *o) { return RD_Count_SO(link, o); });
        case Op::Get_ArincWordSI:
            return with_out<Word>(c.marker,
                                  [&](Word *o) { return Get_ArincWordSI(link, c.byte_arg, o); });
        case Op::Get_ArincWordSO:
            return with_out<Word>(c.marker,
                                  [&](Word *o) { return Get_ArincWordSO(link, c.byte_arg, o); });
        case Op::Put_ArincWordSI:
            return without_out(Put_ArincWordSI(link, c.byte_arg, c.word));
        case Op::Put_ArincWordSO:
            return without_out(Put_ArincWordSO(link, c.byte_arg, c.word));
        case Op::RD_Timer:
            return with_out<Word>(c.marker, [&](Word *o) { return RD_Timer(link, o); });
        case Op::WR_Timer_Param:
            return without_out(WR_Timer_Param(link, c.byte_arg));
    }
    return without_out(-1);
}

}  // namespace tester_ops
