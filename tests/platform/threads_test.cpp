// Different ports may be driven from different threads: a long wait on one port
// must not hold up calls on another.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "port_fixture.h"
#include "pty_box.h"
#include "win32_comm.h"

namespace {

using PlatformThreads = PortTest;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST_F(PlatformThreads, WaitOnOnePortDoesNotHoldUpAnother)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    std::atomic<bool> waiting{false};
    DWORD outcome = 0;
    std::thread waiter([&] {
        waiting = true;
        outcome = WaitForSingleObject(wait_op.hEvent, 2000);  // nothing will arrive
    });
    while (!waiting) std::this_thread::yield();
    std::this_thread::sleep_for(milliseconds(50));

    PtyBox other_box;
    const auto start = steady_clock::now();
    const HANDLE other = open_port(other_box.slave_path().c_str());
    ASSERT_GT(handle_value(other), 0);
    OVERLAPPED record{};
    const unsigned char byte = 0x81;
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(other, &byte, 1, &written, &record));
    EXPECT_TRUE(CloseHandle(other));
    const auto took = steady_clock::now() - start;
    waiter.join();

    EXPECT_LT(took, milliseconds(1500)) << "calls on the other port waited for the first one";
    EXPECT_EQ(outcome, WAIT_TIMEOUT);
    EXPECT_EQ(other_box.receive(), std::vector<unsigned char>{0x81});
    EXPECT_TRUE(SetCommMask(port, 0));
}

}  // namespace
