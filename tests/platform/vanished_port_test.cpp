// The device goes away (USB adapter pulled, pty master closed): waits wake at once,
// calls fail with ERROR_GEN_FAILURE, and the handle can still be closed.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "port_fixture.h"
#include "win32_comm.h"

namespace {

using PlatformVanishedPort = PortTest;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

void expect_calls_fail(HANDLE port, OVERLAPPED &record)
{
    unsigned char byte = 0x30;
    DWORD count = 0;
    COMSTAT stat{};
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));  // what was set is still known
    const std::pair<const char *, std::function<BOOL()>> calls[] = {
        {"ReadFile", [&] { return ReadFile(port, &byte, 1, &count, &record); }},
        {"WriteFile", [&] { return WriteFile(port, &byte, 1, &count, &record); }},
        {"ClearCommError", [&] { return ClearCommError(port, &count, &stat); }},
        {"SetCommMask", [&] { return SetCommMask(port, EV_RXCHAR); }},
        {"WaitCommEvent", [&] { return WaitCommEvent(port, &count, &record); }},
        {"SetCommState", [&] { return SetCommState(port, &dcb); }},
    };
    for (const auto &[name, call] : calls) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(call()) << name;
        EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE) << name;
    }
}

TEST_F(PlatformVanishedPort, PendingWaitWakesAtOnceWithGenFailure)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    std::thread unplugger([this] {
        std::this_thread::sleep_for(milliseconds(100));
        box.unplug();
    });
    const auto start = steady_clock::now();
    const DWORD outcome = WaitForSingleObject(wait_op.hEvent, 6000);
    const auto waited = steady_clock::now() - start;
    unplugger.join();
    EXPECT_EQ(outcome, WAIT_OBJECT_0);
    EXPECT_LT(waited, milliseconds(4000)) << "the wait ran to its limit";
    EXPECT_EQ(wait_op.Internal, ERROR_GEN_FAILURE);
    DWORD transferred = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &wait_op, &transferred, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);

    expect_calls_fail(port, read_op);
}

TEST_F(PlatformVanishedPort, PendingWriteFailsInsteadOfHanging)
{
    std::vector<unsigned char> large(512 * 1024, 0x5A);
    DWORD written = 0;
    ASSERT_FALSE(
        WriteFile(port, large.data(), static_cast<DWORD>(large.size()), &written, &write_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    std::thread unplugger([this] {
        std::this_thread::sleep_for(milliseconds(100));
        box.unplug();
    });
    DWORD transferred = 0;
    const BOOL done = GetOverlappedResult(port, &write_op, &transferred, TRUE);
    const DWORD error = GetLastError();
    unplugger.join();
    EXPECT_FALSE(done);
    EXPECT_EQ(error, ERROR_GEN_FAILURE);
    EXPECT_TRUE(is_signalled(write_op.hEvent));
}

TEST_F(PlatformVanishedPort, NextCallNoticesAnIdlePortIsGone)
{
    box.send({1, 2});
    await_queued(2);
    box.unplug();
    expect_calls_fail(port, read_op);
    EXPECT_TRUE(CancelIo(port));
}

}  // namespace
