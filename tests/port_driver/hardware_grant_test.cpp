// The hardware backend asks the kernel for exactly the ports named and reports a
// refusal as its errno value, never as a bare -1 or as a grant.
#include <gtest/gtest.h>

#include <cerrno>

#include "tester_port.h"

namespace {

TEST(HardwareGrant, RangePastTheLastPortIsRefused)
{
    const int refused = tester_port_grant(0xFFFF, 2);
    EXPECT_TRUE(refused == EINVAL || refused == ENOSYS) << refused;
}

TEST(HardwareGrant, UartPortsAreGrantedOrRefusedWithAReason)
{
    const int result = tester_port_grant(0x3F8, 8);
    EXPECT_TRUE(result == 0 || result == EPERM || result == ENOSYS) << result;
}

}  // namespace
