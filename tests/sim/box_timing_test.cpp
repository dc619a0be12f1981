// When the box's bytes leave: turnaround, pacing at the line rate, and no overlap on the line.
#include <gtest/gtest.h>

#include "box_model.h"
#include "model_client.h"
#include "tester_commands.h"

namespace {

using namespace tester_sim;
using sim_test::bytes;
namespace cmd = tester_cmd;

box_config paced(std::uint32_t turnaround_us)
{
    box_config c;
    c.turnaround_us = turnaround_us;
    return c;
}

std::vector<std::uint64_t> times(const std::vector<box_byte> &out)
{
    std::vector<std::uint64_t> t;
    for (const auto &b : out) t.push_back(b.t_us);
    return t;
}

TEST(SimBoxTiming, ByteTimeIsTenBitsAtTheRate)
{
    EXPECT_EQ(box_model(paced(0)).byte_time_us(), 87u);  // 86.8 us at 115200 bit/s
    box_config slow = paced(0);
    slow.bit_rate = 9600;
    EXPECT_EQ(box_model(slow).byte_time_us(), 1042u);
    EXPECT_EQ(box_model(sim_test::instant_box()).byte_time_us(), 0u);
}

TEST(SimBoxTiming, EchoAndReplyFollowTheTurnaroundBackToBack)
{
    box_model box(paced(50));
    box.host_byte(1000, cmd::RD_RS);
    EXPECT_EQ(times(sim_test::drain(box)), (std::vector<std::uint64_t>{1137, 1224}));
}

TEST(SimBoxTiming, WordReplyWaitsForTheIndexByte)
{
    box_model box(paced(50));
    box.host_byte(1000, cmd::Get_ArincWordSO);
    box.host_byte(3000, 7);
    EXPECT_EQ(times(sim_test::drain(box)),
              (std::vector<std::uint64_t>{1137, 3137, 3224, 3311, 3398}));
}

TEST(SimBoxTiming, OutputsNeverOverlapOnTheLine)
{
    box_model box(paced(10));
    // Commands faster than the box can answer them: each byte still waits for the line.
    for (std::uint64_t t = 0; t < 20 * 87; t += 87) box.host_byte(t, cmd::RD_Timer);
    const auto out = sim_test::drain(box);
    ASSERT_EQ(out.size(), 60u);
    for (std::size_t i = 1; i < out.size(); ++i)
        EXPECT_GE(out[i].t_us, out[i - 1].t_us + box.byte_time_us()) << i;
}

TEST(SimBoxTiming, WithoutPacingBytesLeaveAfterTheTurnaroundOnly)
{
    box_config c = sim_test::instant_box();
    c.turnaround_us = 30;
    box_model box(c);
    box.host_byte(500, cmd::RD_Timer);
    EXPECT_EQ(times(sim_test::drain(box)), (std::vector<std::uint64_t>{530, 530, 530}));
}

}  // namespace
