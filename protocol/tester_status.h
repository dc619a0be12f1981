// Status codes returned by every tester operation (both drivers).
#pragma once

enum : int {
    TESTER_OK = 0,
    TESTER_E_WRITE = 1,  // serial: the port refused a parameter or data write
    TESTER_E_NO_DATA =
        2,              // port-I/O: a reply or transmitter poll ran out; serial: a read was refused
    TESTER_E_PORT = 3,  // serial: an event mask or a comm-event wait was refused
    TESTER_E_ECHO = 4,  // the first byte after the command was not its echo
    TESTER_E_RANGE = 5,     // Set_SO_Mod1/Set_SO_Mod2 length outside 1..256; nothing sent
    TESTER_E_TIMEOUT = 99,  // serial: a timed wait expired; port-I/O: no echo within the budget
};
