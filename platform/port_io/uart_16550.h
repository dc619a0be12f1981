// Register map of a 16550-compatible UART, in the names of the Linux 8250 driver:
// offsets from the UART's I/O base, and the bits this project uses.
#pragma once

// Offsets. RX/TX and DLL share +0, IER and DLM share +1: LCR_DLAB selects.
inline constexpr unsigned short UART_RX = 0;   // in: receive buffer
inline constexpr unsigned short UART_TX = 0;   // out: transmit holding
inline constexpr unsigned short UART_DLL = 0;  // out, DLAB set: divisor low byte
inline constexpr unsigned short UART_DLM = 1;  // out, DLAB set: divisor high byte
inline constexpr unsigned short UART_IER = 1;  // out: interrupt enable
inline constexpr unsigned short UART_FCR = 2;  // out: FIFO control (in: IIR)
inline constexpr unsigned short UART_LCR = 3;  // line control
inline constexpr unsigned short UART_MCR = 4;  // modem control
inline constexpr unsigned short UART_LSR = 5;  // in: line status
inline constexpr unsigned short UART_PORT_COUNT = 8;

inline constexpr unsigned char UART_FCR_ENABLE_FIFO = 0x01;
inline constexpr unsigned char UART_FCR_CLEAR_RCVR = 0x02;
inline constexpr unsigned char UART_FCR_CLEAR_XMIT = 0x04;
inline constexpr unsigned char UART_FCR_R_TRIG_11 = 0xC0;  // receive trigger at 14 bytes

inline constexpr unsigned char UART_LCR_DLAB = 0x80;
inline constexpr unsigned char UART_LCR_WLEN8 = 0x03;  // 8 data bits; 1 stop, no parity

inline constexpr unsigned char UART_LSR_DR = 0x01;    // a received byte is waiting
inline constexpr unsigned char UART_LSR_OE = 0x02;    // a byte was lost: receive FIFO full
inline constexpr unsigned char UART_LSR_THRE = 0x20;  // transmit holding register empty
inline constexpr unsigned char UART_LSR_TEMT = 0x40;  // transmitter wholly empty

// Bit rate at divisor 1: the standard PC clock, 1.8432 MHz, over 16.
inline constexpr unsigned UART_BASE_BAUD = 115200;
