// The DCB line settings in termios terms.
#pragma once

#include <termios.h>

#include <chrono>

#include "win32_comm.h"

namespace win32 {

// Writes the DCB's settings into `line`. False, with `line` untouched, when the
// DCB asks for something this port layer cannot do.
bool apply_line_settings(const DCB &dcb, termios &line);

// The DCB that describes a (raw) line.
DCB line_settings_of(const termios &line);

// Time one character takes on the wire with these settings.
std::chrono::nanoseconds character_time(const DCB &dcb);

}  // namespace win32
