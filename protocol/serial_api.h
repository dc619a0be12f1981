// Velmora_DLL_W2K: the tester operations over the serial-port API; the link is
// the port handle that Init_COM returns (the caller closes it with CloseHandle).
#pragma once

#include "tester_operations.h"
#include "tester_status.h"

// Only the low three bits of port select the device: COM0 to COM7.
// Returns the open handle, INVALID_HANDLE_VALUE when the port cannot be opened,
// or null when it refused the line or time-out settings.
TESTER_API void *TESTER_CALL Init_COM(char port);

TESTER_DECLARE_LINK_OPERATIONS(void *)
