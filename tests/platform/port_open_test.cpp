// Opening ports: the COMn name mapping, refusals, and exclusive use.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "port_fixture.h"
#include "port_name.h"
#include "pty_box.h"
#include "win32_comm.h"
#include "win32_test_hooks.h"

namespace {

struct NameCase {
    const char *name;
    std::optional<std::string> path;
};

TEST(PlatformPortName, MapsComNamesToSerialDevices)
{
    for (const char *variable : {"COM0", "COM1", "COM3", "COM8", "COM12"}) unsetenv(variable);
    const NameCase cases[] = {
        {"\\\\.\\COM1", "/dev/ttyS0"},
        {"\\\\.\\COM8", "/dev/ttyS7"},
        {"\\\\.\\com3", "/dev/ttyS2"},
        {"\\\\.\\COM12", "/dev/ttyS11"},
        {"\\\\.\\COM0", std::nullopt},  // no default device
        // Not port names: taken as paths.
        {"/dev/pts/3", "/dev/pts/3"},
        {"\\\\.\\COM", "\\\\.\\COM"},
        {"\\\\.\\COM01", "\\\\.\\COM01"},
        {"\\\\.\\COM1x", "\\\\.\\COM1x"},
        {"COM1", "COM1"},
    };
    for (const NameCase &c : cases) {
        EXPECT_EQ(win32::device_path(c.name), c.path) << c.name;
    }
}

TEST(PlatformPortNameEnvironment, VariableNamedLikeThePortWins)
{
    setenv("COM3", "/dev/pts/7", 1);
    setenv("COM0", "/dev/ttyUSB0", 1);
    EXPECT_EQ(win32::device_path("\\\\.\\COM3"), std::optional<std::string>("/dev/pts/7"));
    EXPECT_EQ(win32::device_path("\\\\.\\com3"), std::optional<std::string>("/dev/pts/7"));
    EXPECT_EQ(win32::device_path("\\\\.\\COM0"), std::optional<std::string>("/dev/ttyUSB0"));
    setenv("COM3", "", 1);  // empty means unset
    EXPECT_EQ(win32::device_path("\\\\.\\COM3"), std::optional<std::string>("/dev/ttyS2"));
    unsetenv("COM3");
    unsetenv("COM0");
}

class PlatformPortOpen : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = win32_test_open_handles(); }
    void TearDown() override { EXPECT_EQ(win32_test_open_handles(), baseline_); }

    static void expect_refused(const char *name, DWORD error)
    {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(open_port(name), INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetLastError(), error) << name;
    }

    PtyBox box;

  private:
    unsigned baseline_ = 0;
};

TEST_F(PlatformPortOpen, OpensThePortTheVariableNames)
{
    box.map_port("COM1");
    const HANDLE port = open_port("\\\\.\\COM1");
    ASSERT_GT(handle_value(port), 0);
    DWORD written = 0;
    OVERLAPPED record{};
    const unsigned char byte = 0x5A;
    ASSERT_TRUE(WriteFile(port, &byte, 1, &written, &record));
    EXPECT_EQ(box.receive(), std::vector<unsigned char>{0x5A});
    EXPECT_TRUE(CloseHandle(port));
    unsetenv("COM1");
}

TEST_F(PlatformPortOpen, RefusesWhatIsNoPort)
{
    unsetenv("COM0");
    unsetenv("COM200");
    expect_refused("\\\\.\\COM0", ERROR_FILE_NOT_FOUND);    // no default device
    expect_refused("\\\\.\\COM200", ERROR_FILE_NOT_FOUND);  // /dev/ttyS199
    expect_refused("/nonexistent/tty", ERROR_FILE_NOT_FOUND);
    expect_refused("/dev/null", ERROR_FILE_NOT_FOUND);  // a device, but no tty
    setenv("COM2", "/dev/null", 1);
    expect_refused("\\\\.\\COM2", ERROR_FILE_NOT_FOUND);
    unsetenv("COM2");
}

TEST_F(PlatformPortOpen, RefusesCreatingAndNullNames)
{
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(CreateFileA(box.slave_path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING + 1, FILE_FLAG_OVERLAPPED, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    expect_refused(nullptr, ERROR_INVALID_PARAMETER);
}

TEST_F(PlatformPortOpen, RefusesWithoutPermission)
{
    if (geteuid() == 0) GTEST_SKIP() << "root opens any device";
    ASSERT_EQ(chmod(box.slave_path().c_str(), 0), 0);
    expect_refused(box.slave_path().c_str(), ERROR_ACCESS_DENIED);
}

TEST_F(PlatformPortOpen, SecondOpenIsRefusedUntilTheFirstCloses)
{
    box.map_port("COM4");
    const HANDLE first = open_port("\\\\.\\COM4");
    ASSERT_GT(handle_value(first), 0);
    expect_refused("\\\\.\\COM4", ERROR_ACCESS_DENIED);
    expect_refused(box.slave_path().c_str(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(first));

    const HANDLE again = open_port("\\\\.\\COM4");
    EXPECT_GT(handle_value(again), 0);
    EXPECT_TRUE(CloseHandle(again));
    unsetenv("COM4");
}

TEST_F(PlatformPortOpen, AnotherProcessCannotOpenAHeldPort)
{
    const HANDLE held = open_port(box.slave_path().c_str());
    ASSERT_GT(handle_value(held), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const HANDLE attempt = open_port(box.slave_path().c_str());
        _exit(attempt == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child got the port";
    EXPECT_TRUE(CloseHandle(held));
}

TEST_F(PlatformPortOpen, HandlesArePositive32BitNumbersThatFailOnceClosed)
{
    const HANDLE port = open_port(box.slave_path().c_str());
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_GT(handle_value(port), 0);
    EXPECT_GT(handle_value(event), 0);
    EXPECT_NE(port, event);
    EXPECT_TRUE(CloseHandle(port));
    EXPECT_TRUE(CloseHandle(event));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(port));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
