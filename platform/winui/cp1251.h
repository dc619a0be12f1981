// Windows-1251, the ANSI code page of the self-test's texts, shown as UTF-8.
#pragma once

#include <string>

// Bytes below 0x80 stay as they are; 0x98, which the code page leaves
// undefined, becomes U+FFFD.
std::string utf8_from_cp1251(const char *text);
