// The building blocks of every DorvaneDLL operation: the bounded poll of the
// line-status register and the command, parameter and reply phases. Waits count
// register reads, not time, so the driver needs no timer and never sleeps.
#pragma once

namespace uart_exchange {

// A fresh budget for every single poll; the read that finds it spent is the last.
constexpr int poll_budget = 30000;

// The 16-bit port number of the register at `offset` from the UART's base.
unsigned short uart_register(unsigned short port_base, unsigned short offset);

// True when `bit` of LSR shows within the budget.
bool poll_line_status(unsigned short port_base, unsigned char bit);

// Hands one byte to the transmitter without waiting for anything.
void transmit(unsigned short port_base, unsigned char byte);

// Command byte out, its echo in: TESTER_OK, TESTER_E_TIMEOUT or TESTER_E_ECHO.
int command_phase(unsigned short port_base, unsigned char command);

// One byte out, then until the transmitter is empty: TESTER_OK or TESTER_E_NO_DATA.
int parameter_phase(unsigned short port_base, unsigned char byte);

// One byte in: TESTER_OK with *byte set, or TESTER_E_NO_DATA with *byte untouched.
int reply_phase(unsigned short port_base, unsigned char *byte);

}  // namespace uart_exchange
