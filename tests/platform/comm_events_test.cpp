// SetCommMask / WaitCommEvent: what counts as an event, and when a wait ends.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "port_fixture.h"
#include "win32_comm.h"

namespace {

using PlatformCommEvents = PortTest;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST_F(PlatformCommEvents, ByteArrivingDuringAPendingWaitCompletesIt)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0xDEAD;
    SetEvent(wait_op.hEvent);  // starting the wait resets it
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(wait_op.Internal, STATUS_PENDING);
    EXPECT_EQ(WaitForSingleObject(wait_op.hEvent, 50), WAIT_TIMEOUT);

    box.send({0x41});
    ASSERT_EQ(WaitForSingleObject(wait_op.hEvent, 3000), WAIT_OBJECT_0);
    EXPECT_EQ(events, EV_RXCHAR);
    EXPECT_EQ(wait_op.Internal, ERROR_SUCCESS);
}

TEST_F(PlatformCommEvents, ArrivalBeforeTheWaitIsRememberedUntilReported)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    box.send({0x41});
    await_queued(1);

    DWORD events = 0;
    ASSERT_TRUE(WaitCommEvent(port, &events, &wait_op));
    EXPECT_EQ(events, EV_RXCHAR);
    EXPECT_EQ(wait_op.Internal, ERROR_SUCCESS);
    EXPECT_TRUE(is_signalled(wait_op.hEvent));

    // Reported once: the next wait is for the next byte.
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_TRUE(SetCommMask(port, 0));
}

TEST_F(PlatformCommEvents, StaleBytesDoNotCompleteAWaitButTheNextByteDoes)
{
    box.send({0x99});  // a late reply, after the mask was cleared
    await_queued(1);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));

    DWORD events = 0;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(wait_op.hEvent, 100), WAIT_TIMEOUT);

    box.send({0x30});
    ASSERT_EQ(WaitForSingleObject(wait_op.hEvent, 3000), WAIT_OBJECT_0);
    EXPECT_EQ(events, EV_RXCHAR);
    unsigned char bytes[4] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, bytes, sizeof bytes, &got, &read_op));
    ASSERT_EQ(got, 2u);
    EXPECT_EQ(bytes[0], 0x99);  // the stale byte comes first
    EXPECT_EQ(bytes[1], 0x30);
}

TEST_F(PlatformCommEvents, BytesLeftAfterAPartialReadAreNotNew)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    box.send({0x30, 0x02});
    await_queued(2);
    unsigned char byte = 0;
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, &byte, 1, &got, &read_op));
    DWORD events = 0;
    ASSERT_TRUE(WaitCommEvent(port, &events, &wait_op));  // the arrival of both bytes
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(wait_op.hEvent, 100), WAIT_TIMEOUT);
    EXPECT_TRUE(SetCommMask(port, 0));
}

TEST_F(PlatformCommEvents, ReplyArrivingLaterWakesTheWaitBeforeItsLimit)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    std::thread late_box([this] {
        std::this_thread::sleep_for(milliseconds(200));
        box.send({0x02});
    });
    const auto start = steady_clock::now();
    const DWORD outcome = WaitForSingleObject(wait_op.hEvent, 5000);
    const auto waited = steady_clock::now() - start;
    late_box.join();
    EXPECT_EQ(outcome, WAIT_OBJECT_0);
    EXPECT_GE(waited, milliseconds(150));
    EXPECT_LT(waited, milliseconds(4000)) << "the wait ran to its limit";
    EXPECT_EQ(events, EV_RXCHAR);
}

TEST_F(PlatformCommEvents, ChangingTheMaskEndsAPendingWaitWithNoEvents)
{
    for (const DWORD next_mask : {DWORD{0}, EV_RXCHAR, EV_TXEMPTY}) {
        SCOPED_TRACE(next_mask);
        ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
        DWORD events = 0xDEAD;
        ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
        ASSERT_TRUE(SetCommMask(port, next_mask));
        EXPECT_EQ(wait_op.Internal, ERROR_SUCCESS);
        EXPECT_EQ(events, 0u);
        EXPECT_TRUE(is_signalled(wait_op.hEvent));
        DWORD mask = 0xDEAD;
        ASSERT_TRUE(GetCommMask(port, &mask));
        EXPECT_EQ(mask, next_mask);
    }
}

TEST_F(PlatformCommEvents, NewMaskKeepsOnlyRememberedEventsInIt)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    box.send({0x41});
    await_queued(1);
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_TXEMPTY));
    DWORD events = 0;
    ASSERT_TRUE(WaitCommEvent(port, &events, &wait_op));
    EXPECT_EQ(events, EV_RXCHAR);

    box.send({0x42});
    await_queued(2);  // remembered under EV_RXCHAR
    ASSERT_TRUE(SetCommMask(port, EV_TXEMPTY));
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

    const unsigned char byte = 0x11;
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, &byte, 1, &written, &write_op));
    ASSERT_EQ(WaitForSingleObject(wait_op.hEvent, 3000), WAIT_OBJECT_0);
    EXPECT_EQ(events, EV_TXEMPTY);
}

TEST_F(PlatformCommEvents, OutputDrainingIsTransmitEmpty)
{
    ASSERT_TRUE(SetCommMask(port, EV_TXEMPTY));
    const unsigned char bytes[3] = {1, 2, 3};
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, bytes, sizeof bytes, &written, &write_op));
    DWORD events = 0;
    ASSERT_TRUE(WaitCommEvent(port, &events, &wait_op));
    EXPECT_EQ(events, EV_TXEMPTY);
    // Arrivals are not watched under this mask.
    box.send({0x41});
    await_queued(1);
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_TRUE(SetCommMask(port, 0));
}

TEST_F(PlatformCommEvents, RefusesASecondWaitAnEmptyMaskAndUnknownEvents)
{
    DWORD events = 0;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);  // mask 0

    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    DWORD second_events = 0;
    EXPECT_FALSE(WaitCommEvent(port, &second_events, &read_op));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(wait_op.Internal, STATUS_PENDING);  // the first one still runs

    EXPECT_FALSE(SetCommMask(port, EV_RXCHAR | 0x0040));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(wait_op.Internal, STATUS_PENDING);
    EXPECT_FALSE(WaitCommEvent(port, &events, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(SetCommMask(port, 0));
}

TEST_F(PlatformCommEvents, ClosingThePortAbortsAPendingWait)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    close_port();
    EXPECT_EQ(wait_op.Internal, ERROR_OPERATION_ABORTED);
    EXPECT_TRUE(is_signalled(wait_op.hEvent));
}

TEST_F(PlatformCommEvents, ClosingATiedEventLeavesTheWaitRunning)
{
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));
    ASSERT_TRUE(CloseHandle(wait_op.hEvent));
    wait_op.hEvent = nullptr;
    // A new event may take the freed slot; the old wait must not signal it.
    const HANDLE other = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    box.send({0x41});
    await_queued(1);
    EXPECT_EQ(wait_op.Internal, ERROR_SUCCESS);
    EXPECT_EQ(events, EV_RXCHAR);
    EXPECT_FALSE(is_signalled(other));
    CloseHandle(other);
}

}  // namespace
