// Events and WaitForSingleObject on their own, GetTickCount, and the last error.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "port_fixture.h"
#include "win32_comm.h"
#include "win32_test_hooks.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

class PlatformEvents : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = win32_test_open_handles(); }
    void TearDown() override { EXPECT_EQ(win32_test_open_handles(), baseline_); }

  private:
    unsigned baseline_ = 0;
};

TEST_F(PlatformEvents, WaitWithNothingToSignalEndsAtItsDeadline)
{
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_GT(handle_value(event), 0);
    for (const DWORD limit : {DWORD{0}, DWORD{25}, DWORD{500}}) {
        SCOPED_TRACE(limit);
        const auto start = steady_clock::now();
        EXPECT_EQ(WaitForSingleObject(event, limit), WAIT_TIMEOUT);
        const auto waited = steady_clock::now() - start;
        EXPECT_GE(waited, milliseconds(limit));
        EXPECT_LT(waited, milliseconds(limit + 1000));
    }
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(PlatformEvents, ManualResetStaysSignalledUntilReset)
{
    const HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 10), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(PlatformEvents, SetEventFromAnotherThreadEndsTheWait)
{
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread setter([event] {
        std::this_thread::sleep_for(milliseconds(100));
        SetEvent(event);
    });
    const auto start = steady_clock::now();
    const DWORD outcome = WaitForSingleObject(event, INFINITE);
    const auto waited = steady_clock::now() - start;
    setter.join();
    EXPECT_EQ(outcome, WAIT_OBJECT_0);
    EXPECT_GE(waited, milliseconds(90));
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(PlatformEvents, AutoResetReleasesOneWait)
{
    const HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(PlatformEvents, NamedEventsAreNotOffered)
{
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "shared"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(PlatformTickCount, FollowsTheMonotonicClock)
{
    const DWORD before = GetTickCount();
    std::this_thread::sleep_for(milliseconds(100));
    const DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 99u);
    EXPECT_LT(elapsed, 1000u);
}

// Puts the wrap of GetTickCount a few milliseconds ahead, and takes it away again.
class TickWrapAhead {
  public:
    explicit TickWrapAhead(DWORD ms_ahead)
    {
        win32_test_set_tick_offset(0);
        win32_test_set_tick_offset(0u - GetTickCount() - ms_ahead);
    }
    ~TickWrapAhead() { win32_test_set_tick_offset(0); }
};

// The settle wait after a reset, across the 32-bit wrap.
TEST(PlatformTickCount, WrapsModulo32BitsAndKeepsCounting)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const TickWrapAhead wrap(15);
        const auto start_clock = steady_clock::now();
        const DWORD start = GetTickCount();
        if (start < 0x80000000u) continue;  // descheduled past the wrap: try again
        bool wrapped = false;
        DWORD now = start;
        while (now - start < 25) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            now = GetTickCount();
            wrapped = wrapped || now < start;
        }
        const auto waited = steady_clock::now() - start_clock;
        EXPECT_TRUE(wrapped);
        EXPECT_GE(waited, milliseconds(24));
        EXPECT_LT(waited, milliseconds(1000));
        return;
    }
    FAIL() << "never got to read the tick count before the wrap";
}

TEST(PlatformLastError, BelongsToTheCallingThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen_elsewhere = 0xDEAD;
    DWORD after_failure_elsewhere = 0;
    std::thread other([&] {
        seen_elsewhere = GetLastError();
        CloseHandle(nullptr);
        after_failure_elsewhere = GetLastError();
    });
    other.join();
    EXPECT_EQ(seen_elsewhere, ERROR_SUCCESS);
    EXPECT_EQ(after_failure_elsewhere, ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

}  // namespace
