// Time on the line at 115200 bit/s, 8N1: the least time an exchange can take.
#pragma once

namespace bench {

constexpr double kBitRate = 115200.0;
constexpr double kBitsPerByte = 10.0;  // start bit, 8 data bits, stop bit
constexpr double kByteTimeUs = kBitsPerByte * 1e6 / kBitRate;

// Tester_Reset's settle wait after its echo.
constexpr double kSettleUs = 25'000.0;

constexpr double line_time_us(double bytes) { return bytes * kByteTimeUs; }

}  // namespace bench
