// A port opened on a fresh pty, three overlapped records with manual-reset events,
// and a check that every handle a test made was closed again.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "pty_box.h"
#include "win32_comm.h"

// A handle as callers test it: a signed 32-bit number.
inline std::int32_t handle_value(HANDLE handle)
{
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle));
}

inline bool is_signalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

class PortTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Closes the port early; TearDown then leaves it alone.
    void close_port();
    // Lets the pty deliver what the box sent: waits until `count` bytes are queued.
    void await_queued(DWORD count);

    PtyBox box;
    HANDLE port = nullptr;
    OVERLAPPED wait_op{};
    OVERLAPPED write_op{};
    OVERLAPPED read_op{};

  private:
    unsigned baseline_ = 0;
};
