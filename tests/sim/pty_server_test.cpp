// The serial front end over a real pseudo-terminal, driven by a raw client.
#include "pty_server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "model_client.h"
#include "raw_line.h"
#include "tester_commands.h"

namespace {

using namespace tester_sim;
using namespace std::chrono_literals;
using sim_test::bytes;
using sim_test::raw_line;
namespace cmd = tester_cmd;

constexpr auto patience = 2000ms;  // for bytes that must come
constexpr auto quiet = 200ms;      // for bytes that must not

serve_setup fast_box()
{
    serve_setup s;
    s.options.box.pacing = false;
    return s;
}

TEST(SimPtyServer, EchoesAndStatusOverARealPty)
{
    pty_server server(serve_setup{});  // paced, as a real box
    raw_line line(server.device_path());
    ASSERT_TRUE(line.is_open());
    line.send({cmd::Set_SI, 0x05});
    EXPECT_EQ(line.receive(1, patience), bytes{cmd::Set_SI});
    line.send({cmd::Set_SO, 0x28});
    EXPECT_EQ(line.receive(1, patience), bytes{cmd::Set_SO});
    line.send({cmd::RD_RS});
    EXPECT_EQ(line.receive(2, patience), (bytes{cmd::RD_RS, 0x2D}));
    EXPECT_EQ(line.receive(1, quiet), bytes{}) << "nothing more than the bytes due";
    EXPECT_EQ(server.state().status, 0x2D);

    // Each direction in its order; the two interleave by time.
    std::vector<traffic_entry> from_host, from_box;
    for (const auto &e : server.traffic())
        (e.dir == direction::host_to_box ? from_host : from_box).push_back(e);
    const std::vector<std::pair<unsigned char, byte_role>> host_expected = {
        {cmd::Set_SI, byte_role::command},
        {0x05, byte_role::parameter},
        {cmd::Set_SO, byte_role::command},
        {0x28, byte_role::parameter},
        {cmd::RD_RS, byte_role::command}};
    const std::vector<std::pair<unsigned char, byte_role>> box_expected = {
        {cmd::Set_SI, byte_role::echo},
        {cmd::Set_SO, byte_role::echo},
        {cmd::RD_RS, byte_role::echo},
        {0x2D, byte_role::reply}};
    ASSERT_EQ(from_host.size(), host_expected.size());
    ASSERT_EQ(from_box.size(), box_expected.size());
    for (std::size_t i = 0; i < host_expected.size(); ++i) {
        EXPECT_EQ(from_host[i].value, host_expected[i].first) << i;
        EXPECT_EQ(from_host[i].role, host_expected[i].second) << i;
    }
    for (std::size_t i = 0; i < box_expected.size(); ++i) {
        EXPECT_EQ(from_box[i].value, box_expected[i].first) << i;
        EXPECT_EQ(from_box[i].role, box_expected[i].second) << i;
    }
}

TEST(SimPtyServer, PacedRepliesTakeTheirLineTime)
{
    serve_setup setup;
    setup.options.box.turnaround_us = 0;
    pty_server server(setup);
    raw_line line(server.device_path());
    // 40 timer reads at once: 120 bytes back, each 10 bit times at 115200 bit/s.
    const bytes burst(40, cmd::RD_Timer);
    const auto start = std::chrono::steady_clock::now();
    line.send(burst);
    const bytes got = line.receive(120, 10s);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(got.size(), 120u);
    EXPECT_GE(elapsed, 120 * 86us) << "the bytes came faster than the line can carry them";

    std::uint64_t last = 0;
    int sent = 0;
    for (const auto &e : server.traffic()) {
        if (e.dir != direction::box_to_host) continue;
        if (sent++ > 0) {
            EXPECT_GE(e.t_us, last + 87) << "overlapping bytes on the line";
        }
        last = e.t_us;
    }
}

TEST(SimPtyServer, FaultsChangeBetweenOperations)
{
    pty_server server(fast_box());
    raw_line line(server.device_path());
    server.set_faults({sim_test::must_parse("silent@RD_RS")});
    line.send({cmd::RD_RS});
    EXPECT_EQ(line.receive(1, quiet), bytes{});
    server.set_faults({sim_test::must_parse("answer=0x0B@RD_RS")});
    line.send({cmd::RD_RS});
    EXPECT_EQ(line.receive(2, patience), (bytes{cmd::RD_RS, 0x0B}));
    server.set_faults({});
    line.send({cmd::RD_RS});
    EXPECT_EQ(line.receive(2, patience), (bytes{cmd::RD_RS, 0x00}));
}

TEST(SimPtyServer, DelayedReplyArrivesLate)
{
    pty_server server(fast_box());
    raw_line line(server.device_path());
    server.set_faults({sim_test::must_parse("delay=300@RD_RS")});
    line.send({cmd::RD_RS});
    EXPECT_EQ(line.receive(2, 100ms), bytes{cmd::RD_RS}) << "only the echo before the delay";
    EXPECT_EQ(line.receive(1, patience), bytes{0x00}) << "the late byte still comes";
}

TEST(SimPtyServer, VanishOnDemandAndComeBackOnANewLine)
{
    pty_server server(fast_box());
    const std::string first = server.device_path();
    raw_line old_line(first);
    server.vanish();
    EXPECT_FALSE(server.line_open());
    EXPECT_TRUE(old_line.hung_up(patience));

    const std::string second = server.restore();
    EXPECT_TRUE(server.line_open());
    EXPECT_EQ(server.device_path(), second);
    raw_line line(second);
    line.send({cmd::Get_ID});
    EXPECT_EQ(line.receive(1, patience), bytes{box_id});
}

TEST(SimPtyServer, VanishFaultClosesTheLineAfterTheEcho)
{
    pty_server server(fast_box());
    raw_line line(server.device_path());
    server.set_faults({sim_test::must_parse("vanish=1@RD_RS")});
    line.send({cmd::RD_RS});
    EXPECT_EQ(line.receive(2, patience), bytes{cmd::RD_RS});
    EXPECT_TRUE(line.hung_up(patience));
    EXPECT_FALSE(server.line_open());
}

TEST(SimPtyServer, VanishFaultAtStartLeavesNoLine)
{
    serve_setup setup = fast_box();
    setup.options.faults.push_back(sim_test::must_parse("vanish"));
    pty_server server(setup);
    EXPECT_FALSE(server.line_open());
}

TEST(SimPtyServer, RefusedOpenFailsUntilAllowed)
{
    pty_server server(fast_box());
    server.refuse_open(true);
    const int fd = open(server.device_path().c_str(), O_RDWR | O_NOCTTY);
    const int error = errno;
    EXPECT_LT(fd, 0);
    EXPECT_EQ(error, EIO);
    if (fd >= 0) close(fd);
    server.refuse_open(false);
    raw_line line(server.device_path());
    line.send({cmd::Get_ID});
    EXPECT_EQ(line.receive(1, patience), bytes{box_id});
}

TEST(SimPtyServer, HostMayCloseAndReopenTheLine)
{
    pty_server server(fast_box());
    {
        raw_line first(server.device_path());
        first.send({cmd::Set_SI, 0x05});
        EXPECT_EQ(first.receive(1, patience), bytes{cmd::Set_SI});
    }
    raw_line again(server.device_path());
    again.send({cmd::RD_RS});
    EXPECT_EQ(again.receive(2, patience), (bytes{cmd::RD_RS, 0x05}));
}

TEST(SimPtyServer, ServesATtyDevice)
{
    // The far end of a pseudo-terminal pair stands in for a null-modem cable.
    int far = -1, near = -1;
    char name[128];
    ASSERT_EQ(openpty(&far, &near, name, nullptr, nullptr), 0);
    serve_setup setup = fast_box();
    setup.device = name;
    {
        pty_server server(setup);
        EXPECT_EQ(server.device_path(), name);
        const unsigned char id = cmd::Get_ID;
        ASSERT_EQ(write(far, &id, 1), 1);
        pollfd p{far, POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 2000), 1);
        unsigned char got = 0;
        ASSERT_EQ(read(far, &got, 1), 1);
        EXPECT_EQ(got, box_id);
    }
    close(near);
    close(far);
}

TEST(SimPtyServer, MissingDeviceNamesItAndWhy)
{
    serve_setup setup = fast_box();
    setup.device = "/dev/no-such-tester-line";
    try {
        pty_server server(setup);
        FAIL() << "opened a missing device";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "cannot open /dev/no-such-tester-line: No such file or directory");
    }
}

TEST(SimPtyServer, TrafficLogFile)
{
    const std::string path = ::testing::TempDir() + "sim_traffic_log.txt";
    serve_setup setup = fast_box();
    setup.options.log_target = path;
    setup.options.faults.push_back(sim_test::must_parse("silent@RD_RS#3"));
    {
        pty_server server(setup);
        raw_line line(server.device_path());
        line.send({cmd::RD_Mod_SI});
        EXPECT_EQ(line.receive(2, patience), (bytes{cmd::RD_Mod_SI, 1}));
        server.set_faults({sim_test::must_parse("delay=5@RD_RS"), sim_test::must_parse("silent")});
        server.set_faults({});
        server.vanish();
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string log = text.str();
    EXPECT_NE(log.find(" ms  host->box  C0  RD_Mod_SI\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" ms  box->host  C0  (echo)\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" ms  box->host  01  (reply)\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" ms  line closed on demand\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" ms  faults: silent@RD_RS#3\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" ms  faults: delay=5@RD_RS silent\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" ms  faults: none\n"), std::string::npos) << log;
    std::remove(path.c_str());
}

TEST(SimPtyServer, UnwritableLogFileIsNamed)
{
    serve_setup setup = fast_box();
    setup.options.log_target = "/no-such-dir/log";
    EXPECT_THROW(pty_server server(setup), std::runtime_error);
}

}  // namespace
