// The settle wait after Tester_Reset's echo: both drivers spin on the millisecond
// tick count, so the next command reaches a box that has finished resetting.
#pragma once

#include <cstdint>

namespace tester_settle {

constexpr std::uint32_t kResetSettleMs = 25;

// Returns once ticks() has advanced by ms or more since the call, modulo 2^32,
// so a wrap of the 32-bit tick count inside the wait changes nothing.
template <typename TickSource>
void busy_wait_ms(TickSource ticks, std::uint32_t ms)
{
    const std::uint32_t start = static_cast<std::uint32_t>(ticks());
    while (static_cast<std::uint32_t>(static_cast<std::uint32_t>(ticks()) - start) < ms) {
    }
}

}  // namespace tester_settle
