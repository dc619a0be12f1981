// The Windows serial-communications and synchronisation calls that the serial
// driver uses. On Windows they come from <windows.h>; on Linux from our own
// implementation over termios and poll() (libtester_win32), which offers this
// subset only, with the Windows semantics the driver relies on.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else

#include <cstdint>

#if defined(TESTER_BUILDING_WIN32)
#define WIN32_API __attribute__((visibility("default")))
#else
#define WIN32_API
#endif
#define WINAPI

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;  // 32 bits, as on Windows
using BOOL = int;
using ULONG_PTR = std::uintptr_t;
using HANDLE = void *;
using LPCSTR = const char *;
using LPVOID = void *;
using LPCVOID = const void *;
using LPDWORD = DWORD *;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Handles are small positive integers; opening a file fails with this value.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;
constexpr DWORD MAXDWORD = 0xFFFFFFFFu;
constexpr DWORD INFINITE = 0xFFFFFFFFu;

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_GEN_FAILURE = 31;  // the device went away
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;
constexpr DWORD ERROR_IO_PENDING = 997;

// OVERLAPPED::Internal while the operation runs.
constexpr ULONG_PTR STATUS_PENDING = 0x103;

constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_TXEMPTY = 0x0004;

constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;
constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

struct COMSTAT {
    DWORD fCtsHold : 1;
    DWORD fDsrHold : 1;
    DWORD fRlsdHold : 1;
    DWORD fXoffHold : 1;
    DWORD fXoffSent : 1;
    DWORD fEof : 1;
    DWORD fTxim : 1;
    DWORD fReserved : 25;
    DWORD cbInQue;
    DWORD cbOutQue;
};

struct OVERLAPPED {
    ULONG_PTR Internal;      // STATUS_PENDING while running, else the completion's error code
    ULONG_PTR InternalHigh;  // bytes transferred
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED *;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES *;

#define HasOverlappedIoCompleted(lpOverlapped) ((lpOverlapped)->Internal != STATUS_PENDING)

extern "C" {
WIN32_API HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                    LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                    DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                    HANDLE hTemplateFile);
WIN32_API BOOL WINAPI CloseHandle(HANDLE hObject);

WIN32_API BOOL WINAPI GetCommState(HANDLE hFile, DCB *lpDCB);
WIN32_API BOOL WINAPI SetCommState(HANDLE hFile, DCB *lpDCB);
WIN32_API BOOL WINAPI GetCommTimeouts(HANDLE hFile, COMMTIMEOUTS *lpCommTimeouts);
WIN32_API BOOL WINAPI SetCommTimeouts(HANDLE hFile, COMMTIMEOUTS *lpCommTimeouts);
WIN32_API BOOL WINAPI GetCommMask(HANDLE hFile, LPDWORD lpEvtMask);
WIN32_API BOOL WINAPI SetCommMask(HANDLE hFile, DWORD dwEvtMask);
WIN32_API BOOL WINAPI WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped);
WIN32_API BOOL WINAPI ClearCommError(HANDLE hFile, LPDWORD lpErrors, COMSTAT *lpStat);

WIN32_API BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                               LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
WIN32_API BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
WIN32_API BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                          LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
WIN32_API BOOL WINAPI CancelIo(HANDLE hFile);

WIN32_API HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                                     BOOL bInitialState, LPCSTR lpName);
WIN32_API BOOL WINAPI SetEvent(HANDLE hEvent);
WIN32_API BOOL WINAPI ResetEvent(HANDLE hEvent);
WIN32_API DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

WIN32_API DWORD WINAPI GetLastError(void);
WIN32_API void WINAPI SetLastError(DWORD dwErrCode);
WIN32_API DWORD WINAPI GetTickCount(void);
}

#endif
