#include "port_fixture.h"

#include <chrono>
#include <thread>

#include "win32_test_hooks.h"

void PortTest::SetUp()
{
    baseline_ = win32_test_open_handles();
    box.map_port("COM7");
    port = open_port("\\\\.\\COM7");
    ASSERT_GT(handle_value(port), 0) << "error " << GetLastError();
    for (OVERLAPPED *record : {&wait_op, &write_op, &read_op}) {
        record->hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(record->hEvent, nullptr);
    }
}

void PortTest::TearDown()
{
    close_port();
    for (OVERLAPPED *record : {&wait_op, &write_op, &read_op}) {
        if (record->hEvent != nullptr) {
            EXPECT_TRUE(CloseHandle(record->hEvent));
        }
    }
    EXPECT_EQ(win32_test_open_handles(), baseline_) << "handles leaked";
}

void PortTest::close_port()
{
    if (port == nullptr) return;
    EXPECT_TRUE(CloseHandle(port));
    port = nullptr;
}

void PortTest::await_queued(DWORD count)
{
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    COMSTAT stat{};
    DWORD errors = 0;
    while (ClearCommError(port, &errors, &stat) && stat.cbInQue < count &&
           std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(stat.cbInQue, count) << "the box's bytes never arrived";
}
