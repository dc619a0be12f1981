// Get_ID sends 0x00, which the box does not echo: the first byte that comes back
// is the identification byte, taken as it is; silence is TESTER_E_NO_DATA.
#include <vector>

#include "port_api.h"
#include "scripted_link.h"

namespace {

using GetIdAnswer = ScriptedLinkWith<unsigned char>;

TEST_P(GetIdAnswer, IsTheFirstByteUncompared)
{
    const unsigned char answer = GetParam();
    uart.arrive({answer, 0x77});
    unsigned char id = 0xEE;
    EXPECT_EQ(Get_ID(base, &id), TESTER_OK);
    EXPECT_EQ(id, answer);
    EXPECT_EQ(uart.transmitted(), std::vector<unsigned char>{0x00});
    EXPECT_EQ(uart.unread(), 1u);
}

// 0x00 is a byte like any other; 0x30 would pass a comparison with a command.
INSTANTIATE_TEST_SUITE_P(Bytes, GetIdAnswer, ::testing::Values(0x00, 0x30, 0xA5));

using GetId = ScriptedLink;

TEST_F(GetId, SilenceIsNoDataAfterTheWholeBudget)
{
    unsigned char id = 0xEE;
    EXPECT_EQ(Get_ID(base, &id), TESTER_E_NO_DATA);
    EXPECT_EQ(id, 0xEE);
    EXPECT_EQ(uart.lsr_reads(), 30001);
    EXPECT_EQ(uart.rbr_reads(), 0);
    EXPECT_EQ(uart.transmitted(), std::vector<unsigned char>{0x00});
}

}  // namespace
