#include "last_error.h"

namespace {

thread_local DWORD last_error = ERROR_SUCCESS;

}  // namespace

namespace win32 {

BOOL failed(DWORD error)
{
    last_error = error;
    return FALSE;
}

}  // namespace win32

DWORD WINAPI GetLastError(void) { return last_error; }

void WINAPI SetLastError(DWORD dwErrCode) { last_error = dwErrCode; }
