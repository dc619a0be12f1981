#include "overlapped_record.h"

#include "handle_table.h"

namespace win32 {

void start_operation(OVERLAPPED &record)
{
    record.Internal = STATUS_PENDING;
    record.InternalHigh = 0;
    if (Event *event = find_event(record.hEvent)) event->signalled = false;
}

void complete_operation(OVERLAPPED *record, HANDLE event, DWORD error, DWORD bytes)
{
    if (record != nullptr) {
        record->InternalHigh = bytes;
        record->Internal = error;
    }
    if (Event *signalled = find_event(event)) signalled->signalled = true;
}

}  // namespace win32
