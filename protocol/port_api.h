// DorvaneDLL: the tester operations on a 16550 UART programmed by port I/O; the
// link is the UART's I/O base address (0x3F8 for the first PC serial port).
#pragma once

#include "tester_operations.h"
#include "tester_status.h"

// Programs the UART at port_base for 115200 bit/s, 8N1, FIFOs on; cannot fail.
TESTER_API void TESTER_CALL Init_COM(unsigned short port_base);

TESTER_DECLARE_LINK_OPERATIONS(unsigned short)
