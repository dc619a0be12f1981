// The value encodings: every worked value and edge case, as tables.
#include "encodings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace enc = tester_encoding;

namespace {

TEST(ProtocolEncodings, SetterParameterBytes)
{
    const struct {
        unsigned char v, si, so;
    } cases[] = {
        {0xF9, 0x05, 0x08}, {0xCF, 0x01, 0x28}, {0x00, 0x04, 0x20}, {0x02, 0x02, 0x20},
        {0x06, 0x00, 0x20}, {0x04, 0x00, 0x20}, {0x10, 0x04, 0x10}, {0x30, 0x04, 0x00},
        {0x20, 0x04, 0x00}, {0xFF, 0x01, 0x08},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(enc::set_si_param(c.v), c.si) << std::hex << int{c.v};
        EXPECT_EQ(enc::set_so_param(c.v), c.so) << std::hex << int{c.v};
    }
}

TEST(ProtocolEncodings, SettersIgnoreTheOtherSidesBits)
{
    for (int v = 0; v < 256; ++v) {
        const auto b = static_cast<unsigned char>(v);
        EXPECT_EQ(enc::set_si_param(b), enc::set_si_param(b & 0x07));
        EXPECT_EQ(enc::set_so_param(b), enc::set_so_param(b & 0x38));
        EXPECT_EQ(enc::set_si_param(b) & 0xF8, 0);
        EXPECT_EQ(enc::set_so_param(b) & 0xC7, 0);
    }
}

TEST(ProtocolEncodings, StatusDecode)
{
    const struct {
        unsigned char r, s;
    } cases[] = {{0x00, 0x24}, {0x2D, 0x09}, {0x3F, 0x09},
                 {0xFF, 0xC9}, {0x40, 0x64}, {0x80, 0xA4}};
    for (const auto &c : cases) EXPECT_EQ(enc::decode_status(c.r), c.s) << std::hex << int{c.r};
}

TEST(ProtocolEncodings, StatusReadsBackWhatTheSettersSent)
{
    // A register holding the last Set_SI and Set_SO bytes decodes to the
    // caller's bits, a field of 3 reading back as 2.
    for (int v = 0; v < 64; ++v) {
        const auto b = static_cast<unsigned char>(v);
        const unsigned char reg = enc::set_si_param(b) | enc::set_so_param(b);
        auto expected = static_cast<unsigned char>(b);
        if ((b & 0x06) == 0x06) expected = static_cast<unsigned char>((expected & ~0x06) | 0x04);
        if ((b & 0x30) == 0x30) expected = static_cast<unsigned char>((expected & ~0x30) | 0x20);
        EXPECT_EQ(enc::decode_status(reg), expected) << std::hex << v;
    }
}

TEST(ProtocolEncodings, LengthsAndCounts)
{
    for (int bad : {0, -1, 257, -2147483647 - 1, 2147483647})
        EXPECT_FALSE(enc::length_in_range(bad));
    const struct {
        int n;
        unsigned char p;
    } lengths[] = {{1, 0x00}, {64, 0x3F}, {128, 0x7F}, {256, 0xFF}};
    for (const auto &c : lengths) {
        EXPECT_TRUE(enc::length_in_range(c.n));
        EXPECT_EQ(enc::length_param(c.n), c.p);
        EXPECT_EQ(enc::decode_param_so(c.p), c.n);
    }
    EXPECT_EQ(enc::decode_count(0x00), 256);
    EXPECT_EQ(enc::decode_count(0x01), 1);
    EXPECT_EQ(enc::decode_count(0xFF), 255);
}

TEST(ProtocolEncodings, TimerAndWords)
{
    EXPECT_EQ(enc::timer_value(0x00, 0x5A), 23040u);
    EXPECT_EQ(enc::timer_value(0xFF, 0xFF), 0xFFFF00u);
    EXPECT_EQ(enc::timer_value(0x12, 0x34), 0x123400u);

    const unsigned char bytes[] = {0x12, 0x34, 0x56, 0x2A};
    EXPECT_EQ(enc::word_value(bytes), 0x1234562Au);
    const auto out = enc::word_bytes(0x12345600u + 0x2A);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes));
    const auto fives = enc::word_bytes(0x5A5A5A5Au);
    for (unsigned char b : fives) EXPECT_EQ(b, 0x5A);
}

}  // namespace
