// The line goes away in the middle of a transaction: every operation then fails
// within its time limit, changes no output and leaks nothing; once the line is
// back and the port reopened with Init_COM, operations work again.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "faults.h"
#include "open_descriptors.h"
#include "operation_catalogue.h"
#include "pty_server.h"
#include "run_operation.h"
#include "win32_comm.h"
#include "win32_test_hooks.h"

namespace {

namespace sim = tester_sim;
using tester_ops::OperationInfo;
using tester_ops::Shape;
using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool valid(void *handle)
{
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle)) > 0;
}

// The longest each shape may wait by its time limits when the line gives it
// nothing (one receive event at most for a collection).
double limit_ms(const OperationInfo &info)
{
    switch (info.shape) {
        case Shape::command_only:
        case Shape::identify:
            return 500 + 25;
        case Shape::parameter:
        case Shape::reply:
            return 500 + 1500;
        case Shape::put:
            return 500 + 1500 + 6000;
        case Shape::get:
        case Shape::timer:
            return 500 + 3000;
    }
    return 0;
}

// A noisy shared machine may hold a thread back; nothing may hang.
constexpr double kSlackMs = 1500;

// The same arguments for every operation: index 0x2A, length 64, a marked output.
tester_ops::Call arguments()
{
    tester_ops::Call call;
    call.byte_arg = 0x2A;
    call.length = 64;
    call.word = 0x1234562Au;
    call.marker = 0xEEEEEEEEu;
    return call;
}

class SerialVanish : public ::testing::Test {
  protected:
    void SetUp() override
    {
        server = std::make_unique<sim::pty_server>(sim::serve_setup{});
        handles_before = win32_test_open_handles();
        fds_before = open_descriptors();
        open_port(server->device_path());
    }

    void TearDown() override
    {
        if (valid(hComm)) CloseHandle(hComm);
        EXPECT_EQ(win32_test_open_handles(), handles_before);
        EXPECT_EQ(open_descriptors(), fds_before);
        unsetenv("COM1");
    }

    void open_port(const std::string &path)
    {
        setenv("COM1", path.c_str(), 1);
        hComm = Init_COM(char{1});
        ASSERT_TRUE(valid(hComm)) << path;
    }

    void set_fault(const char *text)
    {
        std::string error;
        auto f = sim::parse_fault(text, error);
        ASSERT_TRUE(f) << error;
        server->set_faults({*f});
    }

    // Every operation fails, within its limit, with its output untouched and no
    // handle left behind; returns the slowest time seen.
    double expect_every_operation_fails()
    {
        double slowest = 0;
        const unsigned handles = win32_test_open_handles();
        for (const OperationInfo &info : tester_ops::operations) {
            const auto start = Clock::now();
            const tester_ops::Outcome outcome =
                tester_ops::run_operation(hComm, info.op, arguments());
            const double took = ms_since(start);
            slowest = std::max(slowest, took);
            EXPECT_NE(outcome.status, TESTER_OK) << info.name;
            EXPECT_FALSE(outcome.out_changed) << info.name;
            EXPECT_LT(took, limit_ms(info) + kSlackMs) << info.name;
            EXPECT_EQ(win32_test_open_handles(), handles) << info.name;
        }
        return slowest;
    }

    // After the line is back: close the dead handle, reopen, and every operation works.
    void expect_link_works_after_reopening()
    {
        const std::string path = server->restore();
        CloseHandle(hComm);
        hComm = nullptr;
        // The dead port's handle and descriptor are gone with it. The new line's
        // pseudo-terminal takes the place of the old one on the simulator's side.
        EXPECT_EQ(win32_test_open_handles(), handles_before);
        EXPECT_EQ(open_descriptors(), fds_before);
        open_port(path);
        for (const OperationInfo &info : tester_ops::operations) {
            EXPECT_EQ(tester_ops::run_operation(hComm, info.op, arguments()).status, TESTER_OK)
                << info.name;
        }
        unsigned long word = 0;
        ASSERT_EQ(Get_ArincWordSO(hComm, 0x2A, &word), TESTER_OK);
        EXPECT_EQ(word, 0x1234562Aul);
    }

    std::unique_ptr<sim::pty_server> server;
    void *hComm = nullptr;
    unsigned handles_before = 0;
    unsigned fds_before = 0;
};

struct VanishCase {
    const char *name;
    tester_ops::Op op;    // the operation the line leaves mid-way
    const char *fault;    // what the box does to it
    int vanish_after_ms;  // when the test closes the line itself (0: the fault does)
};

void PrintTo(const VanishCase &c, std::ostream *os) { *os << c.name; }

class SerialVanishMidTransaction : public SerialVanish,
                                   public ::testing::WithParamInterface<VanishCase> {};

TEST_P(SerialVanishMidTransaction, FailsPromptlyAndWorksOnceReopened)
{
    const VanishCase &c = GetParam();
    const OperationInfo &info = tester_ops::operations[static_cast<std::size_t>(c.op)];
    set_fault(c.fault);
    const auto start = Clock::now();
    auto running = std::async(std::launch::async,
                              [&] { return tester_ops::run_operation(hComm, c.op, arguments()); });
    if (c.vanish_after_ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(c.vanish_after_ms));
        server->vanish();
    }
    const tester_ops::Outcome outcome = running.get();
    const double took = ms_since(start);
    EXPECT_NE(outcome.status, TESTER_OK);
    EXPECT_FALSE(outcome.out_changed);
    EXPECT_LT(took, limit_ms(info) + kSlackMs);
    EXPECT_FALSE(server->line_open());
    server->set_faults({});

    const double slowest = expect_every_operation_fails();
    std::cout << c.name << ": " << info.name << " failed (" << outcome.status << ") in " << took
              << " ms; the slowest operation after it took " << slowest << " ms" << std::endl;
    expect_link_works_after_reopening();
}

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialVanishMidTransaction,
    ::testing::Values(VanishCase{"BeforeTheEchoOfAPut", tester_ops::Op::Put_ArincWordSO,
                                 "vanish=0@Put_ArincWordSO", 0},
                      VanishCase{"AfterTheFirstByteOfAWord", tester_ops::Op::Get_ArincWordSO,
                                 "vanish=2@Get_ArincWordSO", 0},
                      VanishCase{"WhileAGetWaitsForTheRestOfItsWord",
                                 tester_ops::Op::Get_ArincWordSO, "short=1@Get_ArincWordSO", 300},
                      VanishCase{"WhileATimerReadWaitsForItsSecondByte", tester_ops::Op::RD_Timer,
                                 "short=1@RD_Timer", 300}),
    [](const auto &test) { return std::string(test.param.name); });

}  // namespace
