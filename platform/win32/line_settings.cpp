#include "line_settings.h"

namespace win32 {

namespace {

struct BaudRate {
    DWORD rate;
    speed_t code;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The rate a port reports when its termios speed has no DCB equivalent (B0).
constexpr DWORD kFallbackRate = 9600;

const BaudRate *find_rate(DWORD rate)
{
    for (const BaudRate &entry : kBaudRates) {
        if (entry.rate == rate) return &entry;
    }
    return nullptr;
}

DWORD rate_of(speed_t code)
{
    for (const BaudRate &entry : kBaudRates) {
        if (entry.code == code) return entry.rate;
    }
    return kFallbackRate;
}

tcflag_t size_flag(BYTE byte_size)
{
    switch (byte_size) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

BYTE byte_size_of(tcflag_t cflag)
{
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

bool parity_supported(BYTE parity)
{
#if defined(CMSPAR)
    return parity <= SPACEPARITY;
#else
    return parity <= EVENPARITY;
#endif
}

tcflag_t parity_flags(BYTE parity)
{
    switch (parity) {
        case ODDPARITY:
            return PARENB | PARODD;
        case EVENPARITY:
            return PARENB;
#if defined(CMSPAR)
        case MARKPARITY:
            return PARENB | CMSPAR | PARODD;
        case SPACEPARITY:
            return PARENB | CMSPAR;
#endif
        default:
            return 0;
    }
}

BYTE parity_of(tcflag_t cflag)
{
    if ((cflag & PARENB) == 0) return NOPARITY;
#if defined(CMSPAR)
    if ((cflag & CMSPAR) != 0) return (cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
#endif
    return (cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
}

#if defined(CMSPAR)
constexpr tcflag_t kParityMask = PARENB | PARODD | CMSPAR;
#else
constexpr tcflag_t kParityMask = PARENB | PARODD;
#endif

// Linux has one switch for hardware flow control in both directions.
bool wants_hardware_flow(const DCB &dcb)
{
    return dcb.fOutxCtsFlow != 0 || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
}

bool supported(const DCB &dcb)
{
    const bool software_flow = dcb.fOutX != 0 || dcb.fInX != 0;
    return find_rate(dcb.BaudRate) != nullptr && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
           (dcb.StopBits == ONESTOPBIT || dcb.StopBits == TWOSTOPBITS) &&
           parity_supported(dcb.Parity) && dcb.fBinary != 0 && dcb.fOutxDsrFlow == 0 &&
           dcb.fDsrSensitivity == 0 && dcb.fDtrControl != DTR_CONTROL_HANDSHAKE &&
           dcb.fRtsControl != RTS_CONTROL_TOGGLE && dcb.fNull == 0 && dcb.fErrorChar == 0 &&
           !(software_flow && dcb.XonChar == dcb.XoffChar);
}

}  // namespace

bool apply_line_settings(const DCB &dcb, termios &line)
{
    if (!supported(dcb)) return false;
    termios changed = line;
    const speed_t speed = find_rate(dcb.BaudRate)->code;
    if (cfsetispeed(&changed, speed) != 0 || cfsetospeed(&changed, speed) != 0) return false;

    changed.c_cflag &= ~(CSIZE | CSTOPB | kParityMask | CRTSCTS);
    changed.c_cflag |= CLOCAL | CREAD | size_flag(dcb.ByteSize) | parity_flags(dcb.Parity);
    if (dcb.StopBits == TWOSTOPBITS) changed.c_cflag |= CSTOPB;
    if (wants_hardware_flow(dcb)) changed.c_cflag |= CRTSCTS;

    changed.c_iflag &= ~(INPCK | IXON | IXOFF);
    // Checking parity needs a parity bit to check.
    if (dcb.fParity != 0 && dcb.Parity != NOPARITY) changed.c_iflag |= INPCK;
    if (dcb.fOutX != 0) changed.c_iflag |= IXON;
    if (dcb.fInX != 0) changed.c_iflag |= IXOFF;
    changed.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    changed.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);

    line = changed;
    return true;
}

DCB line_settings_of(const termios &line)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = rate_of(cfgetospeed(&line));
    dcb.fBinary = 1;
    dcb.fParity = (line.c_iflag & INPCK) != 0 ? 1 : 0;
    const bool hardware_flow = (line.c_cflag & CRTSCTS) != 0;
    dcb.fOutxCtsFlow = hardware_flow ? 1 : 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = (line.c_iflag & IXON) != 0 ? 1 : 0;
    dcb.fInX = (line.c_iflag & IXOFF) != 0 ? 1 : 0;
    dcb.fRtsControl = hardware_flow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.ByteSize = byte_size_of(line.c_cflag);
    dcb.Parity = parity_of(line.c_cflag);
    dcb.StopBits = (line.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.XonChar = static_cast<char>(line.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(line.c_cc[VSTOP]);
    return dcb;
}

std::chrono::nanoseconds character_time(const DCB &dcb)
{
    const unsigned bits = 1u + dcb.ByteSize + (dcb.Parity != NOPARITY ? 1u : 0u) +
                          (dcb.StopBits == TWOSTOPBITS ? 2u : 1u);
    const DWORD rate = dcb.BaudRate != 0 ? dcb.BaudRate : kFallbackRate;
    return std::chrono::nanoseconds(1000000000ull * bits / rate);
}

}  // namespace win32
