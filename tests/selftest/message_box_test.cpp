#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "win32_ui.h"

namespace {

// One of this process's output descriptors sent to a file while the object
// lives. Its text is read back before anyone else flushes the stream, so an
// unflushed box shows as missing.
class CapturedOutput {
  public:
    explicit CapturedOutput(int fd) : fd_(fd), saved_(dup(fd)), file_(std::tmpfile())
    {
        std::fflush(nullptr);
        dup2(fileno(file_), fd_);
    }

    ~CapturedOutput()
    {
        std::fflush(nullptr);
        dup2(saved_, fd_);
        close(saved_);
        std::fclose(file_);
    }

    CapturedOutput(const CapturedOutput &) = delete;
    CapturedOutput &operator=(const CapturedOutput &) = delete;

    std::string text() const
    {
        std::string text;
        char chunk[256];
        off_t at = 0;
        ssize_t got;
        while ((got = pread(fileno(file_), chunk, sizeof chunk, at)) > 0) {
            text.append(chunk, static_cast<size_t>(got));
            at += got;
        }
        return text;
    }

  private:
    int fd_;
    int saved_;
    std::FILE *file_;
};

// Runs boxes with a given standard input and collects their standard output.
class SelftestMessageBox : public ::testing::Test {
  protected:
    void SetUp() override { saved_stdin_ = dup(STDIN_FILENO); }

    void TearDown() override
    {
        dup2(saved_stdin_, STDIN_FILENO);
        close(saved_stdin_);
        if (terminal_ >= 0) close(terminal_);
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

    // Standard input from a terminal on which `typed` has been typed.
    void give_terminal_input(const std::string &typed)
    {
        terminal_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal_, 0);
        ASSERT_EQ(grantpt(terminal_), 0);
        ASSERT_EQ(unlockpt(terminal_), 0);
        int line = open(ptsname(terminal_), O_RDWR | O_NOCTTY);
        ASSERT_GE(line, 0);
        ASSERT_EQ(dup2(line, STDIN_FILENO), STDIN_FILENO);
        close(line);
        ASSERT_EQ(write(terminal_, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
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

    CapturedOutput output_{STDOUT_FILENO};

  private:
    int saved_stdin_ = -1;
    int terminal_ = -1;
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
    EXPECT_EQ(output_.text(), GetParam().line);
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
    EXPECT_EQ(output_.text(), "[] one\n[] two\n");
}

TEST_F(SelftestMessageBox, EndOfInputClosesEveryBox)
{
    give_input("");
    EXPECT_EQ(MessageBoxA(nullptr, "one", "", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "two", "success", MB_OK), IDOK);
    EXPECT_EQ(output_.text(), "[] one\n[success] two\n");
}

// On a terminal the box waits for Enter; its prompt must not get into the transcript.
TEST_F(SelftestMessageBox, OnATerminalOnlyTheBoxGoesToStandardOutput)
{
    give_terminal_input("\nnext\n");
    {
        CapturedOutput prompt(STDERR_FILENO);
        EXPECT_EQ(MessageBoxA(nullptr, "one", "", MB_OK), IDOK);
        EXPECT_NE(prompt.text(), "");
    }
    EXPECT_EQ(output_.text(), "[] one\n");
}

}  // namespace
