#include "cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace {

struct Conversion {
    const char *name;
    const char *cp1251;
    const char *utf8;
};

void PrintTo(const Conversion &conversion, std::ostream *os) { *os << conversion.name; }

class SelftestCp1251 : public ::testing::TestWithParam<Conversion> {};

TEST_P(SelftestCp1251, ShowsTheTextAsUtf8)
{
    EXPECT_EQ(utf8_from_cp1251(GetParam().cp1251), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    SelftestCodePage, SelftestCp1251,
    ::testing::Values(Conversion{"AsciiUnchanged", " ErrNum = 1,  RetVol = 99 ",
                                 " ErrNum = 1,  RetVol = 99 "},
                      Conversion{"Microseconds", " = 23040 (23040) \xEC\xEA\xF1\xE5\xEA ",
                                 " = 23040 (23040) мксек "},
                      Conversion{"FirstAndLastLetters", "\xC0\xDF\xE0\xFF", "АЯая"},
                      Conversion{"YoAndPunctuation", "\xA8\xB8\x85\xB9", "Ёё…№"},
                      Conversion{"UndefinedByteIsReplaced", "a\x98z", "a\xEF\xBF\xBDz"},
                      Conversion{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<Conversion> &param_info) { return param_info.param.name; });

// The C library's converter as the reference, for every byte it knows.
std::string iconv_cp1251_to_utf8(iconv_t cd, unsigned char byte, bool &known)
{
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char *in_ptr = in;
    char *out_ptr = out;
    size_t in_left = sizeof in;
    size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    known = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1);
    return std::string(out, sizeof out - out_left);
}

TEST(SelftestCp1251Table, AgreesWithTheSystemConverterOnTheUpperHalf)
{
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "the C library has no CP1251 converter";
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        bool known = false;
        std::string expected = iconv_cp1251_to_utf8(cd, static_cast<unsigned char>(byte), known);
        if (!known) continue;
        const char text[2] = {static_cast<char>(byte), '\0'};
        EXPECT_EQ(utf8_from_cp1251(text), expected) << "byte 0x" << std::hex << byte;
    }
    iconv_close(cd);
}

}  // namespace
