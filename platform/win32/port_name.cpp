#include "port_name.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace win32 {

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr unsigned long kHighestPort = 255;

bool is_digits(const char *text)
{
    if (*text == '\0') return false;
    for (const char *c = text; *c != '\0'; ++c) {
        if (std::isdigit(static_cast<unsigned char>(*c)) == 0) return false;
    }
    return true;
}

// The port number of "\\.\COMn", or nullopt for any other name.
std::optional<unsigned long> port_number(const char *name)
{
    const std::size_t prefix = std::strlen(kDevicePrefix);
    if (std::strncmp(name, kDevicePrefix, prefix) != 0) return std::nullopt;
    const char *com = name + prefix;
    if (std::toupper(static_cast<unsigned char>(com[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(com[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(com[2])) != 'M') {
        return std::nullopt;
    }
    const char *digits = com + 3;
    if (!is_digits(digits) || (digits[0] == '0' && digits[1] != '\0')) return std::nullopt;
    if (std::strlen(digits) > 3) return std::nullopt;
    const unsigned long number = std::strtoul(digits, nullptr, 10);
    if (number > kHighestPort) return std::nullopt;
    return number;
}

}  // namespace

std::optional<std::string> device_path(const char *name)
{
    const std::optional<unsigned long> number = port_number(name);
    if (!number) return std::string(name);
    const std::string variable = "COM" + std::to_string(*number);
    const char *configured = std::getenv(variable.c_str());
    if (configured != nullptr && *configured != '\0') return std::string(configured);
    if (*number == 0) return std::nullopt;
    return "/dev/ttyS" + std::to_string(*number - 1);
}

}  // namespace win32
