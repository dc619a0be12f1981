// GetTickCount: milliseconds of CLOCK_MONOTONIC, 32 bits, wrapping like Windows.
#include <time.h>

#include <atomic>
#include <cstdint>

#include "win32_comm.h"
#include "win32_test_hooks.h"

namespace {

// Lets tests put the 32-bit wrap wherever they need it.
std::atomic<DWORD> tick_offset{0};

}  // namespace

DWORD WINAPI GetTickCount(void)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms) + tick_offset.load(std::memory_order_relaxed);
}

void win32_test_set_tick_offset(DWORD offset_ms)
{
    tick_offset.store(offset_ms, std::memory_order_relaxed);
}
