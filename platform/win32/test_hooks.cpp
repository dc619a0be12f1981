#include "handle_table.h"
#include "win32_test_hooks.h"

unsigned win32_test_open_handles(void)
{
    const auto lock = win32::lock_table();
    return win32::live_handles();
}
