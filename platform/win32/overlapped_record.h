// Starting and completing the caller's OVERLAPPED records.
#pragma once

#include "win32_comm.h"

namespace win32 {

// Marks the record as running and resets its event, as Windows does.
void start_operation(OVERLAPPED &record);

// Fills in the outcome and signals the event. Either may be null: a reused
// record is no longer ours to write, a closed event no longer ours to signal.
void complete_operation(OVERLAPPED *record, HANDLE event, DWORD error, DWORD bytes);

}  // namespace win32
