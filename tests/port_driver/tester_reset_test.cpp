// After the echo of a reset the driver waits until the millisecond tick count has
// moved on by 25, counted modulo 2^32 so that the wait holds across the wrap.
#include <chrono>
#include <string>

#include "port_api.h"
#include "scripted_link.h"
#include "tester_commands.h"
#include "win32_test_hooks.h"

namespace {

struct TickStart {
    const char *name;
    DWORD ms_before_wrap;  // where the tick count stands when the wait begins
};

class TesterResetSettle : public ScriptedLinkWith<TickStart> {
  protected:
    ~TesterResetSettle() override { win32_test_set_tick_offset(0); }
};

TEST_P(TesterResetSettle, ReturnsOnlyAfterTwentyFiveTicks)
{
    const bool across_wrap = GetParam().ms_before_wrap < 25;
    DWORD ticks_before = 0;
    DWORD ticks_after = 0;
    std::chrono::steady_clock::duration waited{};
    // A thread descheduled between placing the wrap and the wait can miss it: try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        win32_test_set_tick_offset(0);
        win32_test_set_tick_offset(0u - GetParam().ms_before_wrap - GetTickCount());
        uart.arrive(tester_cmd::Tester_Reset);
        ticks_before = GetTickCount();
        const auto clock_before = std::chrono::steady_clock::now();
        ASSERT_EQ(Tester_Reset(base), TESTER_OK);
        ticks_after = GetTickCount();
        waited = std::chrono::steady_clock::now() - clock_before;
        if (!across_wrap || ticks_after < ticks_before) break;
    }

    if (across_wrap) {
        EXPECT_LT(ticks_after, ticks_before) << "the wait never straddled the wrap";
    }
    EXPECT_GE(static_cast<DWORD>(ticks_after - ticks_before), 25u);
    // A tick may be nearly over when the wait starts.
    EXPECT_GE(waited, std::chrono::milliseconds(24));
}

INSTANTIATE_TEST_SUITE_P(Ticks, TesterResetSettle,
                         ::testing::Values(TickStart{"FarFromTheWrap", 0x40000000u},
                                           TickStart{"WrapInsideTheWait", 10},
                                           TickStart{"WrapRightAfterTheStart", 1}),
                         NamedCase());

}  // namespace
