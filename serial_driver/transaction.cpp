#include "transaction.h"

#include <algorithm>

#include "tester_status.h"

namespace serial {

namespace {

HANDLE make_event() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

void close_event(HANDLE event)
{
    if (event != nullptr) CloseHandle(event);
}

}  // namespace

Transaction::Transaction(HANDLE port, unsigned char command, bool with_reply)
    : port_(port), command_(command), with_reply_(with_reply)
{
    write_.hEvent = make_event();
}

Transaction::~Transaction()
{
    // Ends a receive wait that is still pending; its record must not be left to
    // the port once this frame is gone, nor may a write's.
    SetCommMask(port_, 0);
    if (!HasOverlappedIoCompleted(&echo_) || !HasOverlappedIoCompleted(&reply_) ||
        !HasOverlappedIoCompleted(&write_)) {
        CancelIo(port_);
    }
    settle(echo_);
    settle(reply_);
    settle(write_);
    close_event(echo_.hEvent);
    close_event(reply_.hEvent);
    close_event(write_.hEvent);
}

void Transaction::settle(OVERLAPPED &record)
{
    if (HasOverlappedIoCompleted(&record)) return;
    DWORD transferred = 0;
    GetOverlappedResult(port_, &record, &transferred, TRUE);
}

void Transaction::settle_write()
{
    if (HasOverlappedIoCompleted(&write_)) return;
    CancelIo(port_);
    settle(write_);
}

int Transaction::setup()
{
    if (write_.hEvent == nullptr) return TESTER_E_PORT;
    if (!SetCommMask(port_, EV_RXCHAR)) return TESTER_E_PORT;
    echo_.hEvent = make_event();
    if (with_reply_) reply_.hEvent = make_event();
    const bool made = echo_.hEvent != nullptr && (!with_reply_ || reply_.hEvent != nullptr);
    return made ? TESTER_OK : TESTER_E_PORT;
}

void Transaction::write_unawaited(DWORD count)
{
    ResetEvent(write_.hEvent);
    DWORD written = 0;
    WriteFile(port_, tx_, count, &written, &write_);
}

int Transaction::write_awaited(DWORD count, DWORD limit_ms)
{
    ResetEvent(write_.hEvent);
    DWORD written = 0;
    if (!WriteFile(port_, tx_, count, &written, &write_) && GetLastError() != ERROR_IO_PENDING) {
        return TESTER_E_WRITE;
    }
    if (WaitForSingleObject(write_.hEvent, limit_ms) != WAIT_OBJECT_0) return TESTER_E_TIMEOUT;
    // A write that completed with an error (the port went away) did not put its
    // bytes on the line: that is not a success.
    DWORD sent = 0;
    if (!GetOverlappedResult(port_, &write_, &sent, FALSE) || sent != count) return TESTER_E_WRITE;
    return TESTER_OK;
}

int Transaction::wait_receive(OVERLAPPED &record, DWORD limit_ms)
{
    ResetEvent(record.hEvent);
    if (!WaitCommEvent(port_, &event_mask_, &record) && GetLastError() != ERROR_IO_PENDING) {
        return TESTER_E_PORT;
    }
    if (WaitForSingleObject(record.hEvent, limit_ms) != WAIT_OBJECT_0) return TESTER_E_TIMEOUT;
    return TESTER_OK;
}

int Transaction::read_echo()
{
    DWORD errors = 0;
    COMSTAT stat{};
    ClearCommError(port_, &errors, &stat);
    const DWORD queued = stat.cbInQue;
    DWORD got = 0;
    if (!ReadFile(port_, rx_, std::min<DWORD>(queued, sizeof rx_), &got, &echo_)) {
        return TESTER_E_NO_DATA;
    }
    rx_count_ = got;
    // What the buffer cannot hold is taken off the queue and dropped.
    while (got > 0 && rx_count_ < queued) {
        const DWORD ask = std::min<DWORD>(queued - rx_count_, sizeof surplus_);
        if (!ReadFile(port_, surplus_, ask, &got, &echo_)) return TESTER_E_NO_DATA;
        rx_count_ += got;
    }
    return TESTER_OK;
}

int Transaction::command_phase()
{
    tx_[0] = command_;
    write_unawaited(1);
    if (const int status = wait_receive(echo_, kEchoLimitMs)) return status;
    if (const int status = read_echo()) return status;
    return rx_count_ > 0 && rx_[0] == command_ ? TESTER_OK : TESTER_E_ECHO;
}

int Transaction::identify(unsigned char &id)
{
    tx_[0] = command_;
    write_unawaited(1);
    if (const int status = wait_receive(echo_, kEchoLimitMs)) return status;
    DWORD got = 0;
    if (!ReadFile(port_, rx_, 1, &got, &echo_) || got != 1) return TESTER_E_NO_DATA;
    id = rx_[0];
    return TESTER_OK;
}

// The writes below first settle the previous one: tx_ is its buffer.
int Transaction::send_parameter(unsigned char byte, DWORD limit_ms)
{
    settle_write();
    if (!SetCommMask(port_, EV_TXEMPTY)) return TESTER_E_PORT;
    tx_[0] = byte;
    return write_awaited(1, limit_ms);
}

int Transaction::send_more(const unsigned char *bytes, DWORD count, DWORD limit_ms)
{
    settle_write();
    std::copy(bytes, bytes + std::min<DWORD>(count, sizeof tx_), tx_);
    return write_awaited(std::min<DWORD>(count, sizeof tx_), limit_ms);
}

void Transaction::send_unawaited(unsigned char byte)
{
    settle_write();
    tx_[0] = byte;
    write_unawaited(1);
}

int Transaction::collect(DWORD want, DWORD limit_ms, bool count_queue)
{
    want = std::min<DWORD>(want, sizeof reply_buf_);
    DWORD have = 0;
    while (have < want) {
        if (const int status = wait_receive(reply_, limit_ms)) return status;
        DWORD ask = want - have;
        if (count_queue) {
            DWORD errors = 0;
            COMSTAT stat{};
            ClearCommError(port_, &errors, &stat);
            ask = std::min(ask, static_cast<DWORD>(stat.cbInQue));
        }
        DWORD got = 0;
        if (!ReadFile(port_, reply_buf_ + have, ask, &got, &reply_)) return TESTER_E_NO_DATA;
        // A pass that delivered nothing just waits for the next receive event.
        have += std::min(got, ask);
    }
    return TESTER_OK;
}

}  // namespace serial
