// A length outside 1 to 256 is refused before the UART is touched at all.
#include <climits>
#include <string>

#include "port_api.h"
#include "scripted_link.h"

namespace {

using LengthRange = ScriptedLinkWith<int>;

TEST_P(LengthRange, RefusedWithoutAPortAccess)
{
    EXPECT_EQ(Set_SO_Mod1(base, GetParam()), TESTER_E_RANGE);
    EXPECT_EQ(Set_SO_Mod2(base, GetParam()), TESTER_E_RANGE);
    EXPECT_TRUE(uart.trace().empty());
}

INSTANTIATE_TEST_SUITE_P(OutOfRange, LengthRange, ::testing::Values(0, -1, 257, INT_MIN, INT_MAX));

}  // namespace
