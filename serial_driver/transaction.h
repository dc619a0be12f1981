// One transaction on the open port: the records and events it owns, and the
// phases every serial operation is built from. Clean-up runs in the destructor,
// so every path out of an operation releases what the transaction made.
#pragma once

#include "win32_comm.h"

namespace serial {

// Time limits of the waits, in milliseconds.
constexpr DWORD kEchoLimitMs = 500;
constexpr DWORD kParamWriteLimitMs = 1500;
constexpr DWORD kReplyLimitMs = 1500;
constexpr DWORD kCollectLimitMs = 3000;
constexpr DWORD kDataWriteLimitMs = 6000;

class Transaction {
  public:
    // Makes the write event; nothing is asked of the port yet.
    Transaction(HANDLE port, unsigned char command, bool with_reply);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Receive mask, then the echo (and reply) events.
    int setup();
    // Command byte out, echo in and compared.
    int command_phase();
    // Get_ID: command byte out, the first byte in, uncompared.
    int identify(unsigned char &id);

    // One byte out under the transmit-empty mask, awaited up to limit_ms.
    int send_parameter(unsigned char byte, DWORD limit_ms);
    // Further bytes of the parameter phase (at most 4): the mask is already set.
    int send_more(const unsigned char *bytes, DWORD count, DWORD limit_ms);
    // A byte out whose completion nobody waits for (a get's index).
    void send_unawaited(unsigned char byte);

    // Gathers `want` (at most 4) reply bytes over as many receive events as
    // they take, up to limit_ms for each. With count_queue the queued count
    // decides each read's size; either way no read asks for more than is
    // still missing, so nothing lands past the buffer.
    int collect(DWORD want, DWORD limit_ms, bool count_queue);
    const unsigned char *collected() const { return reply_buf_; }

    // The command phase's read: the echo first, then what came with it. The
    // count includes bytes beyond the buffer, which were taken off and dropped.
    const unsigned char *received() const { return rx_; }
    DWORD received_count() const { return rx_count_; }

  private:
    int wait_receive(OVERLAPPED &record, DWORD limit_ms);
    int write_awaited(DWORD count, DWORD limit_ms);
    void write_unawaited(DWORD count);
    int read_echo();
    void settle_write();
    void settle(OVERLAPPED &record);

    HANDLE port_;
    unsigned char command_;
    bool with_reply_;
    OVERLAPPED write_{};
    OVERLAPPED echo_{};
    OVERLAPPED reply_{};
    DWORD event_mask_ = 0;  // what a receive-event wait reports; never examined
    // Every buffer a pending operation may still use lives here, so it outlives
    // the operation until the destructor has settled it.
    unsigned char tx_[4] = {};
    unsigned char rx_[4] = {};
    unsigned char surplus_[16] = {};
    DWORD rx_count_ = 0;
    unsigned char reply_buf_[4] = {};
};

}  // namespace serial
