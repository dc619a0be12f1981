#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "win32_ui.h"

namespace {

// Runs boxes with a given standard input and collects their standard output,
// read back before anyone else flushes it, so an unflushed box shows as missing.
class SelftestMessageBox : public ::testing::Test {
  protected:
    void SetUp() override
    {
        std::fflush(stdout);
        saved_stdin_ = dup(STDIN_FILENO);
        saved_stdout_ = dup(STDOUT_FILENO);
        output_ = std::tmpfile();
        ASSERT_NE(output_, nullptr);
        ASSERT_EQ(dup2(fileno(output_), STDOUT_FILENO), STDOUT_FILENO);
    }

    void TearDown() override
    {
        std::fflush(stdout);
        dup2(saved_stdout_, STDOUT_FILENO);
        dup2(saved_stdin_, STDIN_FILENO);
        close(saved_stdout_);
        close(saved_stdin_);
        std::fclose(output_);
    }

    void give_input(const std::string &input)
    {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(write(ends[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
        close(ends[1]);
        ASSERT_EQ(dup2(ends[0], STDIN_FILENO), STDIN_FILENO);
        close(ends[0]);
    }

    std::string output_so_far()
    {
        std::string text;
        char chunk[256];
        off_t at = 0;
        ssize_t got;
        while ((got = pread(fileno(output_), chunk, sizeof chunk, at)) > 0) {
            text.append(chunk, static_cast<size_t>(got));
            at += got;
        }
        return text;
    }

    std::string input_left()
    {
        std::string text;
        char chunk[256];
        ssize_t got;
        while ((got = read(STDIN_FILENO, chunk, sizeof chunk)) > 0) {
            text.append(chunk, static_cast<size_t>(got));
        }
        return text;
    }

  private:
    int saved_stdin_ = -1;
    int saved_stdout_ = -1;
    std::FILE *output_ = nullptr;
};

struct Box {
    const char *name;
    const char *text;
    const char *caption;
    const char *line;
};

void PrintTo(const Box &box, std::ostream *os) { *os << box.name; }

class SelftestMessageBoxLine : public SelftestMessageBox,
                               public ::testing::WithParamInterface<Box> {};

TEST_P(SelftestMessageBoxLine, IsOneFlushedLineOfCaptionAndText)
{
    give_input("\n");
    EXPECT_EQ(MessageBoxA(nullptr, GetParam().text, GetParam().caption, MB_OK), IDOK);
    EXPECT_EQ(output_so_far(), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    SelftestBoxLines, SelftestMessageBoxLine,
    ::testing::Values(Box{"Caption", " Get_ID = 5ah", "success", "[success]  Get_ID = 5ah\n"},
                      Box{"EmptyCaption", "Set_SI", "", "[] Set_SI\n"},
                      Box{"NoCaptionShowsDefaultTitle", " ErrNum = 1,  RetVol = 99", nullptr,
                          "[Error]  ErrNum = 1,  RetVol = 99\n"},
                      Box{"TrailingBlanksKept", "Set_SI_Mod4   ", "", "[] Set_SI_Mod4   \n"},
                      Box{"Windows1251Text", " RD_Timer  = 23040 (23040) \xEC\xEA\xF1\xE5\xEA ", "",
                          "[]  RD_Timer  = 23040 (23040) мксек \n"},
                      Box{"Windows1251Caption", "x", "\xCE\xF8\xE8\xE1\xEA\xE0", "[Ошибка] x\n"}),
    [](const ::testing::TestParamInfo<Box> &param_info) { return param_info.param.name; });

TEST_F(SelftestMessageBox, EachBoxTakesOneLineOfInput)
{
    give_input("first\nsecond\nrest");
    MessageBoxA(nullptr, "one", "", MB_OK);
    MessageBoxA(nullptr, "two", "", MB_OK);
    EXPECT_EQ(input_left(), "rest");
    EXPECT_EQ(output_so_far(), "[] one\n[] two\n");
}

TEST_F(SelftestMessageBox, EndOfInputClosesEveryBox)
{
    give_input("");
    EXPECT_EQ(MessageBoxA(nullptr, "one", "", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "two", "success", MB_OK), IDOK);
    EXPECT_EQ(output_so_far(), "[] one\n[success] two\n");
}

}  // namespace
