// Fuzzes Velmora_DLL_W2K against the scripted Win32 fake, in virtual time.
//
// The input scripts a run of operations on one open port. For each operation,
// in this order (missing bytes read as 0):
//   operation (folded into the 27), byte argument, length (2 bytes, signed),
//   word (4), marker (4: the out-value before the call),
//   fault flags (2), then one byte for each flag that is set, in flag order;
//   answers (0-3): how the box answers the 1st, 2nd, ... write that reaches the
//   line. Each is a count of pieces (0-3); each piece a delay byte, a control
//   byte (bit 0: the piece starts with the written byte, as an echo does;
//   bits 1-3: how many raw bytes follow) and those raw bytes.
// Every call is held to the driver's promises; after the last one the line is
// given time, reopened if it vanished, and must work again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "byte_script.h"
#include "fake_win32.h"
#include "operation_catalogue.h"
#include "property_check.h"
#include "run_operation.h"

namespace {

using fuzz::ByteScript;
using tester_ops::OperationInfo;
using tester_ops::Shape;

constexpr std::size_t kMaxOperations = 24;

// Short delays byte for byte; the upper half reaches past every time limit.
DWORD delay_ms(std::uint8_t b) { return b < 128 ? b : (b - 128u) * 64u; }

enum FaultFlag : std::uint16_t {
    kRxMaskRefused = 1u << 0,
    kTxMaskRefused = 1u << 1,
    kWaitRefused = 1u << 2,
    kReadRefused = 1u << 3,
    kWriteRefused = 1u << 4,
    kWriteStalls = 1u << 5,
    kWriteFails = 1u << 6,
    kClearRefused = 1u << 7,
    kSlowWrites = 1u << 8,
    kVanishes = 1u << 9,
};

fake::Faults read_faults(ByteScript &in)
{
    const std::uint16_t flags = in.u16();
    fake::Faults f;
    f.rx_mask_refused = (flags & kRxMaskRefused) != 0;
    f.tx_mask_refused = (flags & kTxMaskRefused) != 0;
    if (flags & kWaitRefused) f.wait_refused_at = static_cast<int>(in.pick(4));
    if (flags & kReadRefused) f.read_refused_at = static_cast<int>(in.pick(4));
    if (flags & kWriteRefused) f.write_refused_at = static_cast<int>(in.pick(3));
    if (flags & kWriteStalls) f.write_stalls_at = static_cast<int>(in.pick(3));
    if (flags & kWriteFails) f.write_fails_at = static_cast<int>(in.pick(3));
    if (flags & kClearRefused) f.clear_refused_at = static_cast<int>(in.pick(3));
    if (flags & kSlowWrites) f.write_ms = delay_ms(in.byte());
    if (flags & kVanishes) f.vanish_after_ms = static_cast<int>(delay_ms(in.byte()));
    return f;
}

struct Piece {
    DWORD delay_ms;
    bool echo;
    fake::Bytes raw;
};
using Answer = std::vector<Piece>;

std::vector<Answer> read_answers(ByteScript &in)
{
    std::vector<Answer> answers(in.pick(4));
    for (Answer &answer : answers) {
        answer.resize(in.pick(4));
        for (Piece &piece : answer) {
            piece.delay_ms = delay_ms(in.byte());
            const std::uint8_t control = in.byte();
            piece.echo = (control & 1u) != 0;
            piece.raw.resize((control >> 1) & 7u);
            for (std::uint8_t &b : piece.raw) b = in.byte();
        }
    }
    return answers;
}

// Answers the writes that reach the line in turn; later ones get nothing.
fake::Box scripted_box(std::vector<Answer> answers)
{
    auto next = std::make_shared<std::size_t>(0);
    return [answers = std::move(answers), next](const fake::Bytes &written) {
        std::vector<fake::Chunk> chunks;
        if (*next >= answers.size()) return chunks;
        for (const Piece &piece : answers[(*next)++]) {
            fake::Bytes bytes;
            if (piece.echo) bytes.push_back(written.front());
            bytes.insert(bytes.end(), piece.raw.begin(), piece.raw.end());
            chunks.push_back({piece.delay_ms, std::move(bytes)});
        }
        return chunks;
    };
}

tester_ops::Call read_call(ByteScript &in)
{
    tester_ops::Call call;
    call.byte_arg = in.byte();
    call.length = static_cast<std::int16_t>(in.u16());
    call.word = in.u32();
    call.marker = in.u32();
    return call;
}

// The failure tables: which codes each shape can give at all.
bool may_return(const OperationInfo &info, const tester_ops::Call &call, int status)
{
    if (tester_ops::refused_before_the_line(info, call)) return status == TESTER_E_RANGE;
    switch (status) {
        case TESTER_OK:
        case TESTER_E_NO_DATA:
        case TESTER_E_PORT:
        case TESTER_E_TIMEOUT:
            return true;
        case TESTER_E_ECHO:
            return info.shape != Shape::identify;
        case TESTER_E_WRITE:
            return info.shape == Shape::parameter || info.shape == Shape::put;
        default:
            return false;
    }
}

// The longest the stated limits let a call wait, given how many pieces reached
// the port during it (a collection waits anew after each receive event).
DWORD time_bound(const OperationInfo &info, int receive_events)
{
    const DWORD waits = static_cast<DWORD>(receive_events) + 1;
    switch (info.shape) {
        case Shape::command_only:
            // The settle wait reads the clock 26 times; each reading is a virtual millisecond.
            return 500 + (info.op == tester_ops::Op::Tester_Reset ? 26 : 0);
        case Shape::identify:
            return 500;
        case Shape::parameter:
            return 500 + 1500;
        case Shape::reply:
            return 500 + 1500 * waits;
        case Shape::put:
            return 500 + 1500 + 6000;
        case Shape::get:
        case Shape::timer:
            return 500 + 3000 * waits;
    }
    return 0;
}

bool starts_with(const fake::Bytes &whole, const fake::Bytes &part)
{
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

fake::Bytes tail_from(const fake::Bytes &all, std::size_t from)
{
    return fake::Bytes(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

// Writes that the faults keep off the line: refused, stalled or failed.
bool kept_off_the_line(const fake::Faults &f, int nth)
{
    return nth == f.write_refused_at || nth == f.write_stalls_at || nth == f.write_fails_at;
}

void check_clean(const char *name)
{
    const fake::Observed &seen = fake::observed();
    FUZZ_CHECK(seen.mask == 0 || seen.gone, name);
    FUZZ_CHECK(seen.live_events == 0, name);
    FUZZ_CHECK(seen.pending_ops == 0, name);
    FUZZ_CHECK(!seen.closed_while_pending, name);
    FUZZ_CHECK(!seen.unbounded_wait, name);
    FUZZ_CHECK(seen.port_handles == 1, name);
}

// The value an OK call must have stored, from the bytes it took off the port.
void check_out_value(const OperationInfo &info, const fake::Bytes &taken,
                     const tester_ops::Outcome &outcome)
{
    const std::size_t replies = tester_ops::reply_count(info.shape);
    if (info.shape == Shape::identify) {
        FUZZ_CHECK(taken.size() == 1, info.name);
        FUZZ_CHECK(outcome.out == tester_ops::out_value(info, taken.data()), info.name);
        return;
    }
    // The echo leads. A one-byte reply and the timer's bytes follow it, whether
    // they came with it or later; a word is what the collection took last, as
    // whatever came with the echo is dropped.
    FUZZ_CHECK(!taken.empty() && taken[0] == info.command, info.name);
    if (replies == 0) return;
    FUZZ_CHECK(taken.size() >= 1 + replies, info.name);
    const std::uint8_t *reply =
        info.shape == Shape::get ? taken.data() + taken.size() - replies : taken.data() + 1;
    FUZZ_CHECK(outcome.out == tester_ops::out_value(info, reply), info.name);
}

void check_line(const OperationInfo &info, const tester_ops::Call &call, const fake::Faults &faults,
                int status, const fake::Bytes &line)
{
    const std::vector<tester_ops::Bytes> writes = tester_ops::healthy_writes(info, call);
    fake::Bytes allowed;
    fake::Bytes command_write;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (kept_off_the_line(faults, static_cast<int>(i))) continue;
        allowed.insert(allowed.end(), writes[i].begin(), writes[i].end());
        if (i == 0) command_write = writes[0];
    }
    switch (status) {
        case TESTER_OK:
            FUZZ_CHECK(line == allowed, info.name);
            // Success means every awaited write went out: all but the command
            // byte, and a get's index, which nobody waits for.
            if (info.shape == Shape::parameter || info.shape == Shape::put) {
                for (std::size_t i = 1; i < writes.size(); ++i) {
                    FUZZ_CHECK(!kept_off_the_line(faults, static_cast<int>(i)), info.name);
                }
            }
            break;
        case TESTER_E_ECHO:
            FUZZ_CHECK(line == command_write, info.name);
            break;
        default:
            FUZZ_CHECK(starts_with(allowed, line), info.name);
    }
}

void run_one(HANDLE port, const OperationInfo &info, const tester_ops::Call &call,
             const fake::Faults &faults)
{
    const fake::Observed &seen = fake::observed();
    const std::size_t line_before = seen.line.size();
    const std::size_t taken_before = seen.taken.size();
    const std::size_t masks_before = seen.masks.size();
    const int events_before = seen.events_created;
    const int arrivals_before = seen.arrivals;
    const DWORD start = fake::now();

    const tester_ops::Outcome outcome = tester_ops::run_operation(port, info.op, call);

    const DWORD elapsed = fake::now() - start;
    const fake::Bytes line = tail_from(fake::observed().line, line_before);
    const fake::Bytes taken = tail_from(fake::observed().taken, taken_before);
    const int status = outcome.status;

    FUZZ_CHECK(tester_ops::is_status_code(status), info.name);
    FUZZ_CHECK(may_return(info, call, status), info.name);
    check_clean(info.name);
    FUZZ_CHECK(elapsed <= time_bound(info, fake::observed().arrivals - arrivals_before), info.name);
    check_line(info, call, faults, status, line);

    if (status == TESTER_E_RANGE) {
        FUZZ_CHECK(fake::observed().masks.size() == masks_before, info.name);
        FUZZ_CHECK(fake::observed().events_created == events_before, info.name);
        return;
    }
    if (status == TESTER_OK) {
        check_out_value(info, taken, outcome);
        if (info.op == tester_ops::Op::Tester_Reset) FUZZ_CHECK(elapsed >= 25, info.name);
    } else {
        FUZZ_CHECK(!outcome.out_changed, info.name);
    }
    if (status == TESTER_E_ECHO) FUZZ_CHECK(taken.empty() || taken[0] != info.command, info.name);
}

bool valid_handle(HANDLE h)
{
    return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(h)) > 0;
}

// After any failure the link works: a late byte may cost the first call its
// echo, and then the next call succeeds.
void check_link_works_again(HANDLE &port)
{
    const char *name = "link after the run";
    fake::rescript(nullptr);
    fake::advance(10000);  // every piece still on its way lands
    if (fake::observed().gone) {
        CloseHandle(port);
        port = Init_COM(char{1});
        FUZZ_CHECK(valid_handle(port), name);
    }
    fake::rescript(fake::answer(0xC0, {{1, {0xC0, 0x03}}}));
    const fake::Bytes stale = fake::observed().unread;
    unsigned char mode = 0;
    const int first = RD_Mod_SI(port, &mode);
    if (stale.empty()) {
        FUZZ_CHECK(first == TESTER_OK && mode == 3, name);
    } else {
        FUZZ_CHECK(first == (stale[0] == 0xC0 ? TESTER_OK : TESTER_E_ECHO), name);
    }
    FUZZ_CHECK(RD_Mod_SI(port, &mode) == TESTER_OK && mode == 3, name);
    check_clean(name);
}

void check_version()
{
    auto text = std::make_unique<char[]>(4);
    version_Velmora_DLL(text.get());
    FUZZ_CHECK(text[0] == '2' && text[1] == '.' && text[2] == '1' && text[3] == 0,
               "version_Velmora_DLL");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ByteScript in(data, size);
    fake::reset(nullptr);
    HANDLE port = Init_COM(char{1});
    FUZZ_CHECK(valid_handle(port), "Init_COM");
    check_version();

    for (std::size_t n = 0; n < kMaxOperations && !in.done(); ++n) {
        const OperationInfo &info = tester_ops::operations[in.pick(tester_ops::operations.size())];
        const tester_ops::Call call = read_call(in);
        const fake::Faults faults = read_faults(in);
        fake::rescript(scripted_box(read_answers(in)), faults);
        run_one(port, info, call, faults);
    }
    check_link_works_again(port);
    CloseHandle(port);
    return 0;
}
