// Value encodings between the caller's values and the bytes on the line.
// Pure functions, shared by both drivers and by the box simulator.
#pragma once

#include <array>
#include <cstdint>

namespace tester_encoding {

// The two-bit field map of the status layout; its own inverse for 0..2, and 3 -> 0.
constexpr unsigned field_map(unsigned f) { return f == 1 ? 1u : f == 0 ? 2u : 0u; }

// Set_SI parameter byte: bit 0 and the mapped field of bits 1-2 only.
constexpr unsigned char set_si_param(unsigned char v)
{
    return static_cast<unsigned char>(field_map((v >> 1) & 3u) << 1 | (v & 0x01u));
}

// Set_SO parameter byte: bit 3 and the mapped field of bits 4-5 only.
constexpr unsigned char set_so_param(unsigned char v)
{
    return static_cast<unsigned char>(field_map((v >> 4) & 3u) << 4 | (v & 0x08u));
}

// RD_RS: the status byte as the caller sees it; bits 0, 3, 6 and 7 pass unchanged.
constexpr unsigned char decode_status(unsigned char r)
{
    return static_cast<unsigned char>((r & 0xC0u) | field_map((r >> 4) & 3u) << 4 | (r & 0x08u) |
                                      field_map((r >> 1) & 3u) << 1 | (r & 0x01u));
}

// Set_SO_Mod1/Set_SO_Mod2 take a length of 1 to 256, sent as length - 1.
constexpr bool length_in_range(int n) { return n >= 1 && n <= 256; }
constexpr unsigned char length_param(int n) { return static_cast<unsigned char>((n - 1) & 0xFF); }

// RD_Param_SO: the reply byte plus one, 1 to 256.
constexpr int decode_param_so(unsigned char b) { return int{b} + 1; }

// RD_Count_SI/RD_Count_SO: the reply byte, with 0 read as 256.
constexpr int decode_count(unsigned char b) { return b == 0 ? 256 : int{b}; }

// RD_Timer: first byte in bits 16-23, second in bits 8-15, microseconds.
constexpr std::uint32_t timer_value(unsigned char first, unsigned char second)
{
    return std::uint32_t{first} << 16 | std::uint32_t{second} << 8;
}

// ARINC words travel most significant byte first, in both directions.
constexpr std::array<unsigned char, 4> word_bytes(std::uint32_t w)
{
    return {static_cast<unsigned char>(w >> 24), static_cast<unsigned char>(w >> 16),
            static_cast<unsigned char>(w >> 8), static_cast<unsigned char>(w)};
}

constexpr std::uint32_t word_value(const unsigned char *b)
{
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 |
           std::uint32_t{b[3]};
}

}  // namespace tester_encoding
