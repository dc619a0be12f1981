// tester-bench as a user runs it, with a few calls a family: the table must be
// complete and every figure a real measurement. No timing is asserted.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sample_stats.h"

namespace {

struct BenchRun {
    int exit_status = -1;
    std::string output;  // standard output and error together
};

BenchRun run_bench(const std::string &arguments)
{
    BenchRun run;
    const std::string command = std::string(TESTER_BENCH_PATH) + " " + arguments + " 2>&1";
    std::FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        run.output.append(chunk, n);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    return run;
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct FamilyRow {
    const char *family;
    const char *operation;
    int bytes;
};

const FamilyRow kRows[] = {
    {"command only", "Set_SI_Mod1", 2},
    {"one parameter byte", "Set_SI_Mod3", 3},
    {"one reply byte", "RD_RS", 3},
    {"word put", "Put_ArincWordSO", 7},
    {"word get", "Get_ArincWordSO", 7},
    {"timer", "RD_Timer", 4},
    {"Get_ID", "Get_ID", 2},
};

const std::string kNumber = "([0-9]+(?:\\.[0-9]+)?)";
const std::string kVerdict = " (?:ok|MISSED)";

// The serial row: line time, median and p99 in ms, their ratios, target, CPU
// share, CPU per call and CPU per call of the same exchange done bare.
std::regex serial_row(const FamilyRow &row)
{
    return std::regex(std::string(row.family) + " +" + row.operation + " +" +
                      std::to_string(row.bytes) + " +" + kNumber + " ms +" + kNumber + " ms +" +
                      kNumber + " ms +" + kNumber + " +" + kNumber + " +" + kNumber + " ms" +
                      kVerdict + " +" + kNumber + "% +" + kNumber + " us +" + kNumber + " us");
}

// The port row: line time, reads median and p99, time median and p99, ratio, target.
std::regex port_row(const FamilyRow &row)
{
    return std::regex(std::string(row.family) + " +" + row.operation + " +" +
                      std::to_string(row.bytes) + " +" + kNumber + " us +" + kNumber + " +" +
                      kNumber + " +" + kNumber + " us +" + kNumber + " us +" + kNumber + " +" +
                      kNumber + " us" + kVerdict);
}

// The figure of the first line matching `pattern` in capture group `group`;
// -1 when no line matches, so a missing row fails the comparison.
double figure(const std::vector<std::string> &lines, const std::regex &pattern, int group)
{
    for (const std::string &line : lines) {
        std::smatch match;
        if (std::regex_match(line, match, pattern)) return std::stod(match[group].str());
    }
    return -1;
}

TEST(BenchSmoke, PrintsACompleteTableAndExitsZero)
{
    const BenchRun run = run_bench("--iterations 3");
    ASSERT_EQ(run.exit_status, 0) << run.output;
    const std::vector<std::string> lines = lines_of(run.output);
    for (const FamilyRow &row : kRows) {
        SCOPED_TRACE(row.family);
        // Line time, then a median that a real call took.
        EXPECT_GT(figure(lines, serial_row(row), 1), 0) << run.output;
        EXPECT_GT(figure(lines, serial_row(row), 2), 0) << run.output;
        // The bare exchange took some CPU, so it ran.
        EXPECT_GT(figure(lines, serial_row(row), 9), 0) << run.output;
        // Reads and UART time of a call are at least the bytes on the line.
        EXPECT_GT(figure(lines, port_row(row), 2), row.bytes) << run.output;
        EXPECT_GT(figure(lines, port_row(row), 4), row.bytes) << run.output;
    }
    const std::regex serial_selftest("self-test selftest_w2k, median of 3 runs: " + kNumber +
                                     " s; line minimum " + kNumber + " s \\(" + kNumber +
                                     " bytes \\+ 25 ms settle\\), ratio " + kNumber);
    const std::regex port_selftest("self-test selftest_port: " + kNumber +
                                   " ms of UART time; line minimum " + kNumber + " ms \\(" +
                                   kNumber + " bytes\\), ratio " + kNumber);
    // Every command turns the box round at least once.
    const std::regex serial_turnarounds("  box turnarounds " + kNumber + " x 50 us = " + kNumber +
                                        " s; .*" + kVerdict);
    const std::regex port_turnarounds("  box turnarounds " + kNumber + " x 50 us = " + kNumber +
                                      " ms; .*" + kVerdict);
    // A whole self-test is some 970 word operations of 7 bytes each.
    EXPECT_GT(figure(lines, serial_selftest, 3), 6000) << run.output;
    EXPECT_GT(figure(lines, port_selftest, 3), 6000) << run.output;
    EXPECT_GT(figure(lines, serial_turnarounds, 1), 1000) << run.output;
    EXPECT_GT(figure(lines, port_turnarounds, 1), 1000) << run.output;
    EXPECT_GT(
        figure(lines,
               std::regex("CPU of the calling thread over all families: " + kNumber + " % .*"), 1),
        0)
        << run.output;
    EXPECT_GT(figure(lines, std::regex("  the same exchanges done bare .*: " + kNumber + " %"), 1),
              0)
        << run.output;
}

TEST(BenchSmoke, RefusesABadOptionWithItsUsage)
{
    for (const char *arguments : {"--iterations 0", "--turnaround", "--fast"}) {
        SCOPED_TRACE(arguments);
        const BenchRun run = run_bench(arguments);
        EXPECT_EQ(run.exit_status, 2);
        EXPECT_NE(run.output.find("Usage: tester-bench"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("calls a family"), std::string::npos) << run.output;
    }
}

struct SpreadCase {
    std::vector<double> samples;
    double median;
    double p99;
};

TEST(BenchSampleStats, MedianAndNearestRankPercentile)
{
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);
    // 1 to 199 and one outlier: the outlier shows in neither figure.
    std::vector<double> with_outlier;
    for (int i = 1; i <= 199; ++i) with_outlier.push_back(i);
    with_outlier.push_back(10000);
    const SpreadCase cases[] = {
        {{}, 0, 0},          {{7}, 7, 7},
        {{3, 1, 2}, 2, 3},   {{4, 1, 3, 2}, 2.5, 4},
        {hundred, 50.5, 99}, {with_outlier, 100.5, 198},
    };
    for (const SpreadCase &c : cases) {
        SCOPED_TRACE(c.samples.size());
        const bench::Spread spread = bench::spread_of(c.samples);
        EXPECT_DOUBLE_EQ(spread.median, c.median);
        EXPECT_DOUBLE_EQ(spread.p99, c.p99);
    }
}

}  // namespace
