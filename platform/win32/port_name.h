// Where a Windows port name leads on Linux.
#pragma once

#include <optional>
#include <string>

namespace win32 {

// "\\.\COMn" (any case, n without leading zeros) is /dev/ttyS<n-1>, unless an
// environment variable named COMn holds another path; COM0 has no default and
// gives nullopt. Any other name is a path and is returned as it is.
std::optional<std::string> device_path(const char *name);

}  // namespace win32
