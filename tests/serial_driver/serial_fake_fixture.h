// Shared set-up of the tests that run the serial driver against the fake.
#pragma once

#include <gtest/gtest.h>

#include "fake_win32.h"
#include "serial_api.h"

class SerialFake : public ::testing::Test {
  protected:
    void start(fake::Box box, fake::Faults faults = {}, DWORD tick_start = fake::kStartTick)
    {
        fake::reset(std::move(box), faults, tick_start);
        port = fake::open_port();
        t0 = fake::now();
    }

    DWORD elapsed() const { return fake::now() - t0; }

    // What every transaction leaves behind, whatever its result.
    static void expect_clean()
    {
        const fake::Observed &seen = fake::observed();
        EXPECT_EQ(seen.mask, 0u);
        EXPECT_EQ(seen.live_events, 0);
        EXPECT_EQ(seen.pending_ops, 0);
        EXPECT_FALSE(seen.closed_while_pending);
        EXPECT_FALSE(seen.unbounded_wait);
    }

    HANDLE port = nullptr;
    DWORD t0 = 0;
};

// The box's answer: the echo alone, after 1 ms.
inline fake::Chunk echo(std::uint8_t command) { return {1, {command}}; }
