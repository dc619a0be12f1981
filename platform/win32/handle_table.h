// The one table behind every HANDLE: ports and events, numbered from 1.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "port.h"
#include "win32_comm.h"

namespace win32 {

struct Event {
    bool manual_reset;
    bool signalled;
};

// Every function below expects the table lock to be held by the caller.
std::unique_lock<std::mutex> lock_table();

// Null when the table is full.
HANDLE insert_port(std::unique_ptr<Port> port);
HANDLE insert_event(Event event);

// Null for a handle that is unknown, closed or of the other kind.
Port *find_port(HANDLE handle);
Event *find_event(HANDLE handle);

// Frees the slot; the port's fd must have been dealt with.
void erase_handle(HANDLE handle);

void for_each_port(const std::function<void(Port &)> &visit);
unsigned live_handles();

}  // namespace win32
