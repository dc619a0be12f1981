// The serial driver over a real pseudo-terminal against the box simulator,
// paced at the line rate.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "faults.h"
#include "pty_server.h"
#include "serial_api.h"
#include "win32_comm.h"
#include "win32_test_hooks.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace sim = tester_sim;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::vector<sim::fault> faults(std::initializer_list<const char *> texts)
{
    std::vector<sim::fault> out;
    for (const char *text : texts) {
        std::string error;
        auto f = sim::parse_fault(text, error);
        EXPECT_TRUE(f) << error;
        if (f) out.push_back(*f);
    }
    return out;
}

class SerialEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override
    {
        server = std::make_unique<sim::pty_server>(sim::serve_setup{});
        setenv("COM1", server->device_path().c_str(), 1);
        hComm = Init_COM(1);
        ASSERT_GT(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(hComm)), 0);
        handles_before = win32_test_open_handles();
    }
    void TearDown() override
    {
        // Every operation released what it made.
        EXPECT_EQ(win32_test_open_handles(), handles_before);
        if (hComm != nullptr && hComm != INVALID_HANDLE_VALUE) CloseHandle(hComm);
        unsetenv("COM1");
    }

    // What the host put on the line since the last call, once the box has
    // taken `expected` bytes or a generous time has passed.
    std::vector<unsigned char> host_bytes(std::size_t expected)
    {
        std::vector<unsigned char> out;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            out.clear();
            for (const auto &e : server->traffic()) {
                if (e.dir == sim::direction::host_to_box) out.push_back(e.value);
            }
        } while (out.size() < expected && Clock::now() < deadline);
        server->clear_traffic();
        return out;
    }

    std::unique_ptr<sim::pty_server> server;
    void *hComm = nullptr;
    unsigned handles_before = 0;
};

TEST_F(SerialEndToEnd, EveryReadBackPairHolds)
{
    unsigned char b = 0;
    int n = 0;
    ASSERT_EQ(Set_SI(hComm, 0xF9), TESTER_OK);
    ASSERT_EQ(Set_SO(hComm, 0xCF), TESTER_OK);
    ASSERT_EQ(RD_RS(hComm, &b), TESTER_OK);
    EXPECT_EQ(b, 0x09);
    ASSERT_EQ(Tester_Reset(hComm), TESTER_OK);
    ASSERT_EQ(RD_RS(hComm, &b), TESTER_OK);
    EXPECT_EQ(b, 0x24);

    ASSERT_EQ(Set_SI_Mod1(hComm), TESTER_OK);
    ASSERT_EQ(RD_Mod_SI(hComm, &b), TESTER_OK);
    EXPECT_EQ(b, 1);
    ASSERT_EQ(Set_SI_Mod2(hComm), TESTER_OK);
    ASSERT_EQ(RD_Mod_SI(hComm, &b), TESTER_OK);
    EXPECT_EQ(b, 2);
    for (auto [set, mode, param] : {std::tuple{&Set_SI_Mod3, 3, 0x15}, {&Set_SI_Mod4, 4, 0xAD}}) {
        ASSERT_EQ(set(hComm, static_cast<unsigned char>(param)), TESTER_OK);
        ASSERT_EQ(RD_Mod_SI(hComm, &b), TESTER_OK);
        EXPECT_EQ(b, mode);
        ASSERT_EQ(RD_Param_SI(hComm, &b), TESTER_OK);
        EXPECT_EQ(b, param);
    }
    for (auto [set, mode, length] : {std::tuple{&Set_SO_Mod2, 2, 128},
                                     {&Set_SO_Mod1, 1, 64},
                                     {&Set_SO_Mod1, 1, 256},
                                     {&Set_SO_Mod2, 2, 1}}) {
        ASSERT_EQ(set(hComm, length), TESTER_OK);
        ASSERT_EQ(RD_Mod_SO(hComm, &b), TESTER_OK);
        EXPECT_EQ(b, mode);
        ASSERT_EQ(RD_Param_SO(hComm, &n), TESTER_OK);
        EXPECT_EQ(n, length);
    }
    EXPECT_EQ(Set_SO_Mod1(hComm, 257), TESTER_E_RANGE);
    EXPECT_EQ(WR_Timer_Param(hComm, 5), TESTER_OK);
    unsigned long timer = 0;
    ASSERT_EQ(RD_Timer(hComm, &timer), TESTER_OK);
    EXPECT_EQ(timer, 23040ul);
    ASSERT_EQ(Get_ID(hComm, &b), TESTER_OK);
    EXPECT_NE(b, 0);
    EXPECT_EQ(RD_Ivent_Flag(hComm, &b), TESTER_OK);
    EXPECT_EQ(RD_Count_Ivent(hComm, &b), TESTER_OK);
    EXPECT_EQ(RD_Count_SI(hComm, &n), TESTER_OK);
    EXPECT_EQ(RD_Count_SO(hComm, &n), TESTER_OK);
    EXPECT_EQ(SSI(hComm), TESTER_OK);
    ASSERT_EQ(RD_RS(hComm, &b), TESTER_OK);
    EXPECT_EQ(b & 0xC0, 0x40);
    EXPECT_EQ(SSO(hComm), TESTER_OK);
    ASSERT_EQ(RD_RS(hComm, &b), TESTER_OK);
    EXPECT_EQ(b & 0xC0, 0xC0);
}

TEST_F(SerialEndToEnd, AllWordsOfBothSidesReadBack)
{
    for (int side = 0; side < 2; ++side) {
        auto put = side == 0 ? Put_ArincWordSO : Put_ArincWordSI;
        auto get = side == 0 ? Get_ArincWordSO : Get_ArincWordSI;
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(
                put(hComm, static_cast<unsigned char>(i), 0x12345600ul + i + side * 0x01000000ul),
                TESTER_OK)
                << i;
        }
        for (int i = 0; i < 256; ++i) {
            unsigned long w = 0;
            ASSERT_EQ(get(hComm, static_cast<unsigned char>(i), &w), TESTER_OK) << i;
            EXPECT_EQ(w, 0x12345600ul + i + side * 0x01000000ul) << i;
        }
    }
}

TEST_F(SerialEndToEnd, BytesOnTheLineForAPut)
{
    host_bytes(0);
    ASSERT_EQ(Put_ArincWordSI(hComm, 5, 0x12345678ul), TESTER_OK);
    EXPECT_EQ(host_bytes(6), (std::vector<unsigned char>{0x98, 0x05, 0x12, 0x34, 0x56, 0x78}));
}

TEST_F(SerialEndToEnd, ReplyPiecesAndLateBytesGiveTheSameValues)
{
    ASSERT_EQ(Put_ArincWordSO(hComm, 16, 0x12345605ul), TESTER_OK);
    ASSERT_EQ(WR_Timer_Param(hComm, 5), TESTER_OK);
    const std::vector<std::vector<sim::fault>> ways = {
        {},
        faults({"split=20,2@Get_ArincWordSO", "split=20,1@RD_Timer"}),
        faults({"split=15,1@Get_ArincWordSO", "delay=30@RD_Timer"}),
        faults({"delay=1000@Get_ArincWordSO", "split=1000,1@RD_Timer"}),
    };
    for (const auto &way : ways) {
        server->set_faults(way);
        unsigned long w = 0;
        EXPECT_EQ(Get_ArincWordSO(hComm, 16, &w), TESTER_OK);
        EXPECT_EQ(w, 0x12345605ul);
        unsigned long timer = 0;
        EXPECT_EQ(RD_Timer(hComm, &timer), TESTER_OK);
        EXPECT_EQ(timer, 23040ul);
    }
}

TEST_F(SerialEndToEnd, AReplyTooLateTimesOutAndTheNextEchoFails)
{
    unsigned char b = 0xEE;
    server->set_faults(faults({"delay=1000@RD_Mod_SI"}));
    EXPECT_EQ(RD_Mod_SI(hComm, &b), TESTER_OK);

    server->set_faults(faults({"delay=2000@RD_Mod_SI"}));
    b = 0xEE;
    auto start = Clock::now();
    EXPECT_EQ(RD_Mod_SI(hComm, &b), TESTER_E_TIMEOUT);
    EXPECT_GE(ms_since(start), 1500);
    EXPECT_LT(ms_since(start), 1900);
    EXPECT_EQ(b, 0xEE);
    server->set_faults({});
    // Let the late byte land, then it stands before the next echo.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(SSI(hComm), TESTER_E_ECHO);
    // The stale byte and that echo are consumed: the link works again.
    EXPECT_EQ(RD_RS(hComm, &b), TESTER_OK);
}

TEST_F(SerialEndToEnd, AWrongEchoPutsNothingMoreOnTheLine)
{
    server->set_faults(faults({"echo=0x55@Put_ArincWordSO"}));
    host_bytes(0);
    EXPECT_EQ(Put_ArincWordSO(hComm, 7, 0x5A5A5A5Aul), TESTER_E_ECHO);
    // Anything sent after the echo would have reached the box within this wait.
    EXPECT_EQ(host_bytes(6), std::vector<unsigned char>{0x99});
}

TEST_F(SerialEndToEnd, GetIdOnASilentLineTimesOutAndKeepsTheByte)
{
    server->set_faults(faults({"silent@Get_ID"}));
    unsigned char id = 0xEE;
    auto start = Clock::now();
    EXPECT_EQ(Get_ID(hComm, &id), TESTER_E_TIMEOUT);
    EXPECT_GE(ms_since(start), 495);
    EXPECT_LT(ms_since(start), 900);
    EXPECT_EQ(id, 0xEE);
}

TEST_F(SerialEndToEnd, TesterResetWaitsItsSettleTimeAlsoAcrossATickWrap)
{
    for (DWORD offset : {0u, 0xFFFFFFFFu - GetTickCount() - 5u}) {  // 5 ms short of a wrap
        win32_test_set_tick_offset(offset);
        const auto start = Clock::now();
        EXPECT_EQ(Tester_Reset(hComm), TESTER_OK);
        // 25 ticks of a millisecond count last at least 24 ms of real time.
        EXPECT_GE(ms_since(start), 24.0);
        EXPECT_LT(ms_since(start), 200.0);
    }
    win32_test_set_tick_offset(0);
}

TEST(SerialInitCom, PortsThatCannotBeOpened)
{
    unsetenv("COM1");
    setenv("COM2", "/nonexistent/tty", 1);
    EXPECT_EQ(Init_COM(2), INVALID_HANDLE_VALUE);
    unsetenv("COM2");
    unsetenv("COM0");
    EXPECT_EQ(Init_COM(0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Init_COM(8), INVALID_HANDLE_VALUE);

    sim::pty_server server{sim::serve_setup{}};
    setenv("COM1", server.device_path().c_str(), 1);
    void *first = Init_COM(9);  // 9 is COM1 too
    ASSERT_GT(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(first)), 0);
    EXPECT_EQ(Init_COM(1), INVALID_HANDLE_VALUE);  // held
    CloseHandle(first);
    void *again = Init_COM(1);
    EXPECT_GT(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(again)), 0);
    CloseHandle(again);

    setenv("COM7", server.device_path().c_str(), 1);
    void *seventh = Init_COM(-1);
    EXPECT_GT(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(seventh)), 0);
    CloseHandle(seventh);
    setenv("COM0", server.device_path().c_str(), 1);
    void *zero = Init_COM(8);
    EXPECT_GT(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(zero)), 0);
    CloseHandle(zero);
    unsetenv("COM7");
    unsetenv("COM0");
    unsetenv("COM1");
}

}  // namespace
