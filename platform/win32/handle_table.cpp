#include "handle_table.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace win32 {

namespace {

constexpr std::size_t kSlotCount = 1024;

enum class Kind : unsigned char { none, port, event };

struct Slot {
    Kind kind = Kind::none;
    Event event{};
    std::unique_ptr<Port> port;
};

struct Table {
    std::mutex mutex;
    std::array<Slot, kSlotCount> slots;
    std::size_t next =
        0;  // slots are handed out round-robin so a stale handle stays invalid longer
    // The slots that hold ports: every wait visits them, and there are few.
    std::vector<std::size_t> port_slots;
};

// Made on first use and never destroyed: nothing runs at load time, and no exit-time
// destructor can pull a port from under a late caller.
Table &table()
{
    static Table *const instance = new Table;
    return *instance;
}

HANDLE handle_of(std::size_t index)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(index + 1));
}

Slot *slot_of(HANDLE handle, Kind kind)
{
    const auto value = reinterpret_cast<std::intptr_t>(handle);
    if (value < 1 || value > static_cast<std::intptr_t>(kSlotCount)) return nullptr;
    Slot &slot = table().slots[static_cast<std::size_t>(value - 1)];
    return slot.kind == kind ? &slot : nullptr;
}

Slot *any_slot_of(HANDLE handle)
{
    if (Slot *slot = slot_of(handle, Kind::port)) return slot;
    return slot_of(handle, Kind::event);
}

HANDLE claim_slot(Kind kind, Event event, std::unique_ptr<Port> port)
{
    Table &t = table();
    for (std::size_t tried = 0; tried < kSlotCount; ++tried) {
        const std::size_t index = (t.next + tried) % kSlotCount;
        Slot &slot = t.slots[index];
        if (slot.kind != Kind::none) continue;
        slot.kind = kind;
        slot.event = event;
        slot.port = std::move(port);
        if (kind == Kind::port) t.port_slots.push_back(index);
        t.next = (index + 1) % kSlotCount;
        return handle_of(index);
    }
    return nullptr;
}

}  // namespace

std::unique_lock<std::mutex> lock_table() { return std::unique_lock<std::mutex>(table().mutex); }

HANDLE insert_port(std::unique_ptr<Port> port)
{
    return claim_slot(Kind::port, Event{}, std::move(port));
}

HANDLE insert_event(Event event) { return claim_slot(Kind::event, event, nullptr); }

Port *find_port(HANDLE handle)
{
    Slot *slot = slot_of(handle, Kind::port);
    return slot != nullptr ? slot->port.get() : nullptr;
}

Event *find_event(HANDLE handle)
{
    Slot *slot = slot_of(handle, Kind::event);
    return slot != nullptr ? &slot->event : nullptr;
}

void erase_handle(HANDLE handle)
{
    Slot *slot = any_slot_of(handle);
    if (slot == nullptr) return;
    if (slot->kind == Kind::port) {
        std::vector<std::size_t> &ports = table().port_slots;
        const auto index = static_cast<std::size_t>(slot - table().slots.data());
        ports.erase(std::remove(ports.begin(), ports.end(), index), ports.end());
    }
    slot->kind = Kind::none;
    slot->port.reset();
}

void for_each_port(const std::function<void(Port &)> &visit)
{
    for (const std::size_t index : table().port_slots) visit(*table().slots[index].port);
}

unsigned live_handles()
{
    unsigned count = 0;
    for (const Slot &slot : table().slots) {
        if (slot.kind != Kind::none) ++count;
    }
    return count;
}

}  // namespace win32
