// Opening the port with the box's line and time-out settings, and the version.
#include <cstring>

#include "serial_api.h"
#include "win32_comm.h"

void TESTER_CALL version_Velmora_DLL(char *text) { std::memcpy(text, "2.1", 4); }

void *TESTER_CALL Init_COM(char port)
{
    char path[] = "\\\\.\\COM0";
    path[7] = static_cast<char>('0' + (port & 7));
    HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return handle;

    // Reads return at once with what is queued; every limit comes from an event wait.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    if (!SetCommTimeouts(handle, &timeouts)) {
        CloseHandle(handle);
        return nullptr;
    }

    // A refused read leaves the zero-filled record; SetCommState decides.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle, &dcb);
    dcb.BaudRate = 115200;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(handle, &dcb)) {
        CloseHandle(handle);
        return nullptr;
    }
    return handle;
}
