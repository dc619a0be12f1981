// The traffic log's lines.
#include "traffic_log.h"

#include <gtest/gtest.h>

namespace {

using namespace tester_sim;

TEST(SimTrafficLog, OneReadableLinePerByte)
{
    EXPECT_EQ(format_traffic({12345, direction::host_to_box, 0x88, byte_role::command}),
              "   12.345 ms  host->box  88  Set_SI");
    EXPECT_EQ(format_traffic({12432, direction::box_to_host, 0x88, byte_role::echo}),
              "   12.432 ms  box->host  88  (echo)");
    EXPECT_EQ(format_traffic({7, direction::box_to_host, 0x0B, byte_role::reply}),
              "    0.007 ms  box->host  0B  (reply)");
    EXPECT_EQ(format_traffic({123456789, direction::host_to_box, 0x55, byte_role::unknown_command}),
              "123456.789 ms  host->box  55  (unknown command)");
    EXPECT_EQ(format_traffic_note(2000, "line closed"), "    2.000 ms  line closed");
}

}  // namespace
