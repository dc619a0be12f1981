// Every call given a handle that is not what it needs fails with ERROR_INVALID_HANDLE.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "port_fixture.h"
#include "win32_comm.h"

namespace {

HANDLE raw_handle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

using PlatformInvalidHandles = PortTest;

TEST_F(PlatformInvalidHandles, EveryCallRefusesThem)
{
    const HANDLE closed_port = open_port(box.slave_path().c_str());
    ASSERT_EQ(closed_port, INVALID_HANDLE_VALUE);  // the fixture holds the port
    ASSERT_TRUE(CloseHandle(port));
    const HANDLE reopened = open_port(box.slave_path().c_str());
    ASSERT_GT(handle_value(reopened), 0);
    const HANDLE stale_port = port;
    port = reopened;

    const std::pair<const char *, HANDLE> bad_handles[] = {
        {"null", nullptr},
        {"INVALID_HANDLE_VALUE", INVALID_HANDLE_VALUE},
        {"unused", raw_handle(1000)},
        {"far out", raw_handle(0x7FFFFFFF)},
        {"negative", raw_handle(-5)},
        {"closed port", stale_port},
    };
    DCB dcb{};
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    DWORD value = 0;
    COMSTAT stat{};
    unsigned char byte = 0;
    OVERLAPPED record{};
    const std::pair<const char *, std::function<BOOL(HANDLE)>> port_calls[] = {
        {"GetCommState", [&](HANDLE h) { return GetCommState(h, &dcb); }},
        {"SetCommState", [&](HANDLE h) { return SetCommState(h, &dcb); }},
        {"GetCommTimeouts", [&](HANDLE h) { return GetCommTimeouts(h, &timeouts); }},
        {"SetCommTimeouts", [&](HANDLE h) { return SetCommTimeouts(h, &timeouts); }},
        {"GetCommMask", [&](HANDLE h) { return GetCommMask(h, &value); }},
        {"SetCommMask", [&](HANDLE h) { return SetCommMask(h, EV_RXCHAR); }},
        {"WaitCommEvent", [&](HANDLE h) { return WaitCommEvent(h, &value, &record); }},
        {"ClearCommError", [&](HANDLE h) { return ClearCommError(h, &value, &stat); }},
        {"ReadFile", [&](HANDLE h) { return ReadFile(h, &byte, 1, &value, &record); }},
        {"WriteFile", [&](HANDLE h) { return WriteFile(h, &byte, 1, &value, &record); }},
        {"GetOverlappedResult",
         [&](HANDLE h) { return GetOverlappedResult(h, &record, &value, TRUE); }},
        {"CancelIo", [&](HANDLE h) { return CancelIo(h); }},
        {"CloseHandle", [&](HANDLE h) { return CloseHandle(h); }},
    };
    const std::pair<const char *, std::function<BOOL(HANDLE)>> event_calls[] = {
        {"SetEvent", [&](HANDLE h) { return SetEvent(h); }},
        {"ResetEvent", [&](HANDLE h) { return ResetEvent(h); }},
        {"WaitForSingleObject",
         [&](HANDLE h) { return WaitForSingleObject(h, 1000) == WAIT_FAILED ? FALSE : TRUE; }},
    };

    for (const auto &[handle_name, handle] : bad_handles) {
        for (const auto &[call_name, call] : port_calls) {
            SetLastError(ERROR_SUCCESS);
            EXPECT_FALSE(call(handle)) << call_name << " with " << handle_name;
            EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << call_name << " with " << handle_name;
        }
        for (const auto &[call_name, call] : event_calls) {
            SetLastError(ERROR_SUCCESS);
            EXPECT_FALSE(call(handle)) << call_name << " with " << handle_name;
            EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << call_name << " with " << handle_name;
        }
    }
    // An event is no port, and a port no event.
    for (const auto &[call_name, call] : port_calls) {
        if (std::string(call_name) == "CloseHandle") continue;
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(call(wait_op.hEvent)) << call_name;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << call_name;
    }
    for (const auto &[call_name, call] : event_calls) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(call(port)) << call_name;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE) << call_name;
    }
}

}  // namespace
