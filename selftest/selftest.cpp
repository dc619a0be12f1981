// Self-test of a tester box: one fixed sequence of driver operations, each answer
// compared with what a healthy box gives and shown in a message box. The first
// failing step ends the run with a report naming the step (ErrNum) and the value
// that decided it (RetVol). Built once per driver: SELFTEST_PORT_IO selects the
// port-I/O driver on the UART at 0x3F8, otherwise the serial driver on COM1.
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(SELFTEST_PORT_IO)
#include "port_api.h"
#include "tester_port.h"
#else
#include "serial_api.h"
#include "win32_comm.h"
#endif
#include "win32_ui.h"

namespace {

int ErrNum;
int RetVol;
char MsgBuf[100];

// Word read-back mismatches: an output-side word, an input-side word.
constexpr int so_word_mismatch = 77;
constexpr int si_word_mismatch = 78;

// Formats into MsgBuf, truncating whatever a value is, and shows the box.
[[gnu::format(printf, 2, 3)]] void show(const char *caption, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(MsgBuf, sizeof MsgBuf, format, args);
    va_end(args);
    MessageBoxA(nullptr, MsgBuf, caption, MB_OK);
}

// Keeps the status of a driver call for the failure report.
bool ok(int status)
{
    RetVol = status;
    return status == TESTER_OK;
}

// Driver words are 32 bits, whatever the width of unsigned long.
int as_signed32(unsigned long value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

#if defined(SELFTEST_PORT_IO)

using Link = unsigned short;
constexpr Link port_base = 0x3F8;
constexpr unsigned short uart_port_count = 8;

// Port instructions fault unless the kernel granted the UART's ports, so ask
// before the first operation and explain a refusal instead of dying on it.
bool open_link(Link &link)
{
    int refused = tester_port_grant(port_base, uart_port_count);
    if (refused == ENOSYS) {
        show("error", "port access to 0x3F8-0x3FF refused: this kernel has no ioperm (ENOSYS)");
        return false;
    }
    if (refused == EPERM || refused == EACCES) {
        show("error", "port access to 0x3F8-0x3FF refused: needs root or CAP_SYS_RAWIO");
        return false;
    }
    if (refused != 0) {
        show("error", "port access to 0x3F8-0x3FF refused: %s", std::strerror(refused));
        return false;
    }
    Init_COM(port_base);
    link = port_base;
    return true;
}

void end_of_passing_run() { show("success", "end"); }

void after_failure_report() {}

#else

using Link = void *;
void *hComm;

// Windows hands out handles as small positive numbers; null and -1 are failures.
int handle_number(void *handle) { return as_signed32(reinterpret_cast<std::uintptr_t>(handle)); }

bool open_link(Link &link)
{
    hComm = Init_COM(1);
    if (handle_number(hComm) <= 0) {
        show("error", "hComm");
        return false;
    }
    show("success", " hComm = %d", handle_number(hComm));
    link = hComm;
    return true;
}

void close_link()
{
    CloseHandle(hComm);
    show("success", "CloseHandle");
}

void end_of_passing_run() { close_link(); }

void after_failure_report() { close_link(); }

#endif

void Err_Report()
{
    show(nullptr, " ErrNum = %d,  RetVol = %d", ErrNum, RetVol);
    after_failure_report();
}

unsigned char index_byte(int work1) { return static_cast<unsigned char>(work1); }

unsigned long so_word(int work1) { return 0x12345600UL + static_cast<unsigned long>(work1); }

constexpr unsigned long si_word = 0x5A5A5A5AUL;

// Steps 1 to 31 and 38 to 42; false at the first failure, after the failing
// step's own box, if it has one.
bool run_steps(Link link)
{
    unsigned char byte = 0;
    int integer = 0;
    unsigned long codIntL = 0;
    int work1 = 0;

    ErrNum = 1;
    byte = 0;
    bool passed = ok(Get_ID(link, &byte)) && byte != 0;
    show("success", " Get_ID = %xh", byte);
    if (!passed) return false;

    ErrNum = 2;
    byte = 0;
    if (!ok(RD_RS(link, &byte))) return false;
    show("", " RegRS = %xh ", byte);

    ErrNum = 3;
    if (!ok(Set_SI(link, 0xF9))) return false;
    show("", "Set_SI");

    ErrNum = 4;
    if (!ok(Set_SO(link, 0xCF))) return false;
    show("", "Set_SO");

    ErrNum = 5;
    byte = 0;
    if (!ok(RD_RS(link, &byte)) || byte != 0x09) {
        show("", " RD_RS = %xh (9h)", byte);
        return false;
    }
    show("", " RegRS = %xh (9h)", byte);

    ErrNum = 6;
    if (!ok(Tester_Reset(link))) return false;
    show("success", "Tester_Reset");

    ErrNum = 7;
    byte = 0;
    if (!ok(RD_RS(link, &byte)) || byte != 0x24) {
        show("", " RD_RS = %xh (24h)", byte);
        return false;
    }
    show("", " RegRS = %xh (24h)", byte);

    ErrNum = 8;
    if (!ok(Set_SI_Mod2(link))) return false;
    show("success", "Set_SI_Mod2 ");

    ErrNum = 9;
    byte = 0;
    passed = ok(RD_Mod_SI(link, &byte)) && byte == 2;
    show("", " RD_Mod_SI  = %xh (2h)", byte);
    if (!passed) return false;

    ErrNum = 10;
    if (!ok(Set_SI_Mod3(link, 0x15))) return false;
    show("", "Set_SI_Mod3 ");

    ErrNum = 11;
    byte = 0;
    passed = ok(RD_Mod_SI(link, &byte)) && byte == 3;
    show("", " RD_Mod_SI  = %xh (3h)", byte);
    if (!passed) return false;

    ErrNum = 12;
    byte = 0;
    passed = ok(RD_Param_SI(link, &byte)) && byte == 0x15;
    show("", " RD_Param_SI = %xh (15h)", byte);
    if (!passed) return false;

    ErrNum = 13;
    if (!ok(Set_SI_Mod4(link, 0xAD))) return false;
    show("", "Set_SI_Mod4   ");

    ErrNum = 14;
    byte = 0;
    passed = ok(RD_Mod_SI(link, &byte)) && byte == 4;
    show("", " RD_Mod_SI  = %xh (4h)", byte);
    if (!passed) return false;

    ErrNum = 15;
    byte = 0;
    passed = ok(RD_Param_SI(link, &byte)) && byte == 0xAD;
    show("", " RD_Param_SI = %xh (adh)", byte);
    if (!passed) return false;

    ErrNum = 16;
    if (!ok(Set_SI_Mod1(link))) return false;
    show("success", "Set_SI_Mod1  ");

    ErrNum = 17;
    byte = 0;
    passed = ok(RD_Mod_SI(link, &byte)) && byte == 1;
    show("", " RD_Mod_SI  = %xh (1h)", byte);
    if (!passed) return false;

    ErrNum = 18;
    if (!ok(Set_SO_Mod2(link, 0x80))) return false;
    show("", "Set_SO_Mod2  ");

    ErrNum = 19;
    byte = 0;
    passed = ok(RD_Mod_SO(link, &byte)) && byte == 2;
    show("", " RD_Mod_SO  = %xh (2h)", byte);
    if (!passed) return false;

    ErrNum = 20;
    integer = 0;
    passed = ok(RD_Param_SO(link, &integer)) && integer == 0x80;
    show("", " RD_Param_SO = %xh (80h)", integer);
    if (!passed) return false;

    ErrNum = 21;
    if (!ok(Set_SO_Mod1(link, 0x40))) return false;
    show("", "Set_SO_Mod1   ");

    ErrNum = 22;
    byte = 0;
    passed = ok(RD_Mod_SO(link, &byte)) && byte == 1;
    show("", " RD_Mod_SO  = %xh (1h)", byte);
    if (!passed) return false;

    ErrNum = 23;
    integer = 0;
    passed = ok(RD_Param_SO(link, &integer)) && integer == 0x40;
    show("", " RD_Param_SO = %xh (40h)", integer);
    if (!passed) return false;

    ErrNum = 24;
    for (work1 = 0; work1 <= 255; ++work1) {
        codIntL = so_word(work1);
        if (!ok(Put_ArincWordSO(link, index_byte(work1), codIntL))) {
            show("", " Put_ArincWordSO = %xh ", work1);
            return false;
        }
    }
    show("", "Put_ArincWordSO");

    ErrNum = 25;
    for (work1 = 0; work1 <= 255; ++work1) {
        codIntL = si_word;
        if (!ok(Put_ArincWordSI(link, index_byte(work1), codIntL))) {
            show("", " Put_ArincWordSI = %xh ", work1);
            return false;
        }
    }
    show("", "Put_ArincWordSI ");

    ErrNum = 26;
    if (!ok(WR_Timer_Param(link, 5))) return false;
    show("", "WR_Timer_Param ");

    ErrNum = 27;
    if (!ok(SSI(link))) return false;
    show("", "start SSI");

    ErrNum = 28;
    if (!ok(SSO(link))) return false;
    show("", "start SSO ");

    ErrNum = 29;
    for (work1 = 0; work1 <= 255; ++work1) {
        codIntL = 0;
        bool read = ok(Get_ArincWordSO(link, index_byte(work1), &codIntL));
        if (!read || codIntL != so_word(work1)) {
            show("", " codIntL = %lxh work1 = %xh", codIntL, work1);
            if (read) RetVol = so_word_mismatch;
            return false;
        }
    }
    show("", "Get_ArincWordSO");

    // The words at 9 to 15 are shown, not compared: what the input side holds
    // there depends on the traffic it received.
    ErrNum = 30;
    for (work1 = 9; work1 <= 15; ++work1) {
        bool read = ok(Get_ArincWordSI(link, index_byte(work1), &codIntL));
        show("", " codIntL = %lxh work1 = %xh", codIntL, work1);
        if (!read) return false;
    }
    for (work1 = 64; work1 <= 255; ++work1) {
        if (!ok(Get_ArincWordSI(link, index_byte(work1), &codIntL))) {
            show("", " codIntL = %lxh work1 = %xh", codIntL, work1);
            return false;
        }
        if (codIntL != si_word) {
            RetVol = si_word_mismatch;
            return false;
        }
    }
    show("", "Get_ArincWordSI ");

    ErrNum = 31;
    codIntL = 0xAAAAAAAAUL;
    if (!ok(RD_Timer(link, &codIntL))) return false;
    // "мксек" (microseconds) in Windows-1251.
    show("", " RD_Timer  = %d (23040) \xEC\xEA\xF1\xE5\xEA ", as_signed32(codIntL));

    // 32 to 37 are not used, so the status read after the timer is step 38.
    ErrNum = 38;
    byte = 0;
    if (!ok(RD_RS(link, &byte))) return false;
    show("", " RegRS = %xh ", byte);

    // SSI toggles the input side, so it is stopped only if it is running.
    if (byte & 0x40) {
        ErrNum = 39;
        if (!ok(SSI(link))) return false;
        show("", "stop SSI");
    }

    ErrNum = 40;
    if (!ok(SSO(link))) return false;
    show("", "stop SSO ");

    ErrNum = 41;
    if (!ok(RD_Count_SI(link, &integer))) return false;
    show("", " RD_Count_SI = %xh ", integer);

    ErrNum = 42;
    if (!ok(RD_Count_SO(link, &integer))) return false;
    show("", " RD_Count_SO  = %xh ", integer);

    return true;
}

}  // namespace

// The outcome is reported only through the boxes: the exit status is always 0.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char version[4] = {};
    version_Velmora_DLL(version);
    show("DLL version", "%.3s", version);

    Link link{};
    if (!open_link(link)) return 0;

    if (run_steps(link)) {
        end_of_passing_run();
    } else {
        Err_Report();
    }
    return 0;
}
