// The calling thread's last error, as GetLastError reports it.
#pragma once

#include "win32_comm.h"

namespace win32 {

// Records the error and returns FALSE, for the usual "return failed(...)" of a call.
BOOL failed(DWORD error);

}  // namespace win32
