// GetCommState / SetCommState and the time-outs: what reaches termios, what is refused.
// The DCB-to-termios conversion is internal; its source is built into the tests.
#include <gtest/gtest.h>
#include <termios.h>

#include <cstring>

#include "line_settings.h"
#include "port_fixture.h"
#include "win32_comm.h"

namespace {

using PlatformCommState = PortTest;

DCB current_state(HANDLE port)
{
    DCB dcb{};
    EXPECT_TRUE(GetCommState(port, &dcb));
    return dcb;
}

bool same_dcb(const DCB &a, const DCB &b) { return std::memcmp(&a, &b, sizeof(DCB)) == 0; }

bool same_line(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetospeed(&a) == cfgetospeed(&b) &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

TEST_F(PlatformCommState, OpenLeavesARawLineDescribedByItsDcb)
{
    const termios line = box.slave_line();
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);

    const DCB dcb = current_state(port);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
}

// The box's settings as the serial driver makes them: parity checking switched on
// with no parity scheme must be accepted and must not check anything.
TEST_F(PlatformCommState, TakesTheBoxSettingsOnTopOfTheCurrentOnes)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = 115200;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    ASSERT_TRUE(SetCommState(port, &dcb)) << GetLastError();

    EXPECT_TRUE(same_dcb(current_state(port), dcb));
    const termios line = box.slave_line();
    EXPECT_EQ(cfgetospeed(&line), B115200);
    EXPECT_EQ(cfgetispeed(&line), B115200);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_iflag & (INPCK | IXON | IXOFF), 0u);

    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    COMMTIMEOUTS read_back{1, 2, 3, 4, 5};
    ASSERT_TRUE(GetCommTimeouts(port, &read_back));
    EXPECT_EQ(std::memcmp(&read_back, &timeouts, sizeof timeouts), 0);
}

struct LineCase {
    DWORD rate;
    BYTE byte_size;
    BYTE parity;
    BYTE stop_bits;
    bool check_parity;
    bool hardware_flow;
    bool xon_xoff;
    speed_t speed;
    tcflag_t cflags;  // among CSIZE, PARENB, PARODD, CMSPAR, CSTOPB, CRTSCTS
    tcflag_t iflags;  // among INPCK, IXON, IXOFF
};

TEST_F(PlatformCommState, SettingsReachTheLineAndReadBackAsSet)
{
    const LineCase cases[] = {
        {9600, 7, EVENPARITY, ONESTOPBIT, true, false, false, B9600, CS7 | PARENB, INPCK},
        {19200, 8, ODDPARITY, TWOSTOPBITS, false, false, false, B19200,
         CS8 | PARENB | PARODD | CSTOPB, 0},
        {57600, 5, NOPARITY, TWOSTOPBITS, true, true, false, B57600, CS5 | CSTOPB | CRTSCTS, 0},
        {230400, 6, MARKPARITY, ONESTOPBIT, true, false, true, B230400,
         CS6 | PARENB | PARODD | CMSPAR, INPCK | IXON | IXOFF},
        {300, 8, SPACEPARITY, ONESTOPBIT, false, false, false, B300, CS8 | PARENB | CMSPAR, 0},
        {115200, 8, NOPARITY, ONESTOPBIT, false, false, false, B115200, CS8, 0},
    };
    constexpr tcflag_t kCflagsSeen = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t kIflagsSeen = INPCK | IXON | IXOFF;
    // A pty forces 8 data bits and no parity bit whatever it is told.
    constexpr tcflag_t kCflagsPtyKeeps = kCflagsSeen & ~(CSIZE | PARENB);
    for (const LineCase &c : cases) {
        SCOPED_TRACE(c.rate);
        DCB dcb = current_state(port);
        dcb.BaudRate = c.rate;
        dcb.ByteSize = c.byte_size;
        dcb.Parity = c.parity;
        dcb.StopBits = c.stop_bits;
        dcb.fParity = c.check_parity ? 1 : 0;
        dcb.fOutxCtsFlow = c.hardware_flow ? 1 : 0;
        dcb.fRtsControl = c.hardware_flow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        dcb.fOutX = c.xon_xoff ? 1 : 0;
        dcb.fInX = c.xon_xoff ? 1 : 0;

        termios converted = box.slave_line();
        ASSERT_TRUE(win32::apply_line_settings(dcb, converted));
        EXPECT_EQ(cfgetospeed(&converted), c.speed);
        EXPECT_EQ(converted.c_cflag & kCflagsSeen, c.cflags);
        EXPECT_EQ(converted.c_iflag & kIflagsSeen, c.iflags);

        ASSERT_TRUE(SetCommState(port, &dcb)) << GetLastError();
        EXPECT_TRUE(same_dcb(current_state(port), dcb));
        const termios line = box.slave_line();
        EXPECT_EQ(cfgetospeed(&line), c.speed);
        EXPECT_EQ(line.c_cflag & kCflagsPtyKeeps, c.cflags & kCflagsPtyKeeps);
        EXPECT_EQ(line.c_iflag & kIflagsSeen, c.iflags);
    }
}

TEST_F(PlatformCommState, RefusesWhatTheLineCannotDoAndChangesNothing)
{
    using Spoil = void (*)(DCB &);
    const Spoil spoilers[] = {
        [](DCB &d) { d.BaudRate = 12345; },
        [](DCB &d) { d.BaudRate = 0; },
        [](DCB &d) { d.ByteSize = 4; },
        [](DCB &d) { d.ByteSize = 9; },
        [](DCB &d) { d.StopBits = ONE5STOPBITS; },
        [](DCB &d) { d.StopBits = 3; },
        [](DCB &d) { d.Parity = 5; },
        [](DCB &d) { d.fBinary = 0; },
        [](DCB &d) { d.fOutxDsrFlow = 1; },
        [](DCB &d) { d.fDsrSensitivity = 1; },
        [](DCB &d) { d.fDtrControl = DTR_CONTROL_HANDSHAKE; },
        [](DCB &d) { d.fRtsControl = RTS_CONTROL_TOGGLE; },
        [](DCB &d) { d.fNull = 1; },
        [](DCB &d) { d.fErrorChar = 1; },
        [](DCB &d) {
            d.fOutX = 1;
            d.XoffChar = d.XonChar;
        },
    };
    const DCB before = current_state(port);
    const termios line_before = box.slave_line();
    for (std::size_t i = 0; i < std::size(spoilers); ++i) {
        SCOPED_TRACE(i);
        DCB dcb = before;
        // Valid changes beside the bad one must not be applied either.
        dcb.BaudRate = 9600;
        dcb.ByteSize = 7;
        dcb.Parity = EVENPARITY;
        spoilers[i](dcb);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(SetCommState(port, &dcb));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_TRUE(same_dcb(current_state(port), before));
        EXPECT_TRUE(same_line(box.slave_line(), line_before));
    }
    EXPECT_FALSE(SetCommState(port, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Reads always return at once here; time-outs that ask for anything else are refused.
TEST_F(PlatformCommState, AcceptsOnlyTimeoutsThatReadAtOnce)
{
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(port, &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);

    const COMMTIMEOUTS refused[] = {
        {0, 0, 0, 0, 0},         {MAXDWORD, 1, 0, 0, 0},   {MAXDWORD, 0, 100, 0, 0},
        {MAXDWORD, 0, 0, 10, 0}, {MAXDWORD, 0, 0, 0, 500}, {MAXDWORD, MAXDWORD, 500, 0, 0},
    };
    for (COMMTIMEOUTS candidate : refused) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(SetCommTimeouts(port, &candidate));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    COMMTIMEOUTS read_back{};
    ASSERT_TRUE(GetCommTimeouts(port, &read_back));
    EXPECT_EQ(std::memcmp(&read_back, &timeouts, sizeof timeouts), 0);
}

}  // namespace
