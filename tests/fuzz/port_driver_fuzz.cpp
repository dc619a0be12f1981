// Fuzzes DorvaneDLL against the scripted register file of a 16550.
//
// The input scripts a run of operations on one UART. For each operation, in this
// order (missing bytes read as 0):
//   operation (folded into the 27), byte argument, length (2 bytes, signed),
//   word (4), marker (4: the out-value before the call),
//   a busy transmitter: the write after which THRE stays clear (folded into
//   0-6, 0 for none) and for how many LSR reads;
//   arrivals (0-7), each a control byte (bit 0: the operation's command byte,
//   as an echo, instead of the raw byte), a raw byte, and how many LSR reads the
//   byte stays hidden once it heads the FIFO.
// Read counts fold into 0-191 or into 29968-30031, around the poll budget.
// Bytes an operation leaves in the FIFO are there for the next one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "byte_script.h"
#include "operation_catalogue.h"
#include "property_check.h"
#include "run_operation.h"
#include "scripted_uart.h"
#include "win32_comm.h"

namespace {

using fuzz::ByteScript;
using tester_ops::OperationInfo;
using tester_ops::Shape;

// Each failed poll costs 30001 logged reads; a few operations are enough for
// bytes to carry from one to the next.
constexpr std::size_t kMaxOperations = 8;
constexpr int kPollBudget = 30000;
constexpr unsigned short kBases[] = {0x3F8, 0x2F8, 0x3E8, 0x2E8};

DWORD virtual_ticks = 0;

int lsr_reads(std::uint8_t b) { return b < 192 ? b : kPollBudget - 32 + (b - 192); }

struct Arrival {
    std::uint8_t byte;
    int hidden_reads;
};

struct Script {
    tester_ops::Call call;
    int hold_after_write = 0;
    int hold_reads = 0;
    std::vector<Arrival> arrivals;
};

Script read_script(ByteScript &in, const OperationInfo &info)
{
    Script s;
    s.call.byte_arg = in.byte();
    s.call.length = static_cast<std::int16_t>(in.u16());
    s.call.word = in.u32();
    s.call.marker = in.u32();
    s.hold_after_write = static_cast<int>(in.pick(7));
    s.hold_reads = lsr_reads(in.byte());
    s.arrivals.resize(in.pick(8));
    for (Arrival &a : s.arrivals) {
        const bool echo = (in.byte() & 1u) != 0;
        const std::uint8_t raw = in.byte();
        a.byte = echo ? info.command : raw;
        a.hidden_reads = lsr_reads(in.byte());
    }
    return s;
}

// Polls an operation runs when all goes well: one per byte awaited or sent
// with a transmitter wait.
std::size_t polls(Shape shape)
{
    switch (shape) {
        case Shape::command_only:
        case Shape::identify:
            return 1;
        case Shape::parameter:
        case Shape::reply:
            return 2;
        case Shape::timer:
            return 3;
        case Shape::get:
            return 5;
        case Shape::put:
            return 6;
    }
    return 0;
}

bool may_return(const OperationInfo &info, const tester_ops::Call &call, int status)
{
    if (tester_ops::refused_before_the_line(info, call)) return status == TESTER_E_RANGE;
    switch (status) {
        case TESTER_OK:
            return true;
        case TESTER_E_NO_DATA:
            return info.shape != Shape::command_only;
        case TESTER_E_TIMEOUT:
        case TESTER_E_ECHO:
            return info.shape != Shape::identify;
        default:
            return false;
    }
}

// The lengths of the runs of consecutive LSR reads: one run per poll. Only the
// data and line-status registers serve an operation.
std::vector<int> lsr_runs(const OperationInfo &info, const std::vector<std::string> &trace)
{
    std::vector<int> runs;
    bool in_run = false;
    for (const std::string &access : trace) {
        const bool lsr = access == "LSR";
        if (lsr && !in_run) runs.push_back(0);
        if (lsr) ++runs.back();
        in_run = lsr;
        FUZZ_CHECK(lsr || access == "RX" || access.rfind("TX ", 0) == 0, info.name);
    }
    return runs;
}

bool starts_with(const tester_ops::Bytes &whole, const tester_ops::Bytes &part)
{
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

void check_polls(const OperationInfo &info, int status, const std::vector<std::string> &trace)
{
    const std::vector<int> runs = lsr_runs(info, trace);
    FUZZ_CHECK(runs.size() <= polls(info.shape), info.name);
    for (const int run : runs) FUZZ_CHECK(run <= kPollBudget + 1, info.name);
    if (status == TESTER_OK) {
        // Each poll saw its bit within the budget.
        FUZZ_CHECK(runs.size() == polls(info.shape), info.name);
        for (const int run : runs) FUZZ_CHECK(run <= kPollBudget, info.name);
    } else if (status == TESTER_E_TIMEOUT || status == TESTER_E_NO_DATA) {
        // The failed poll spent its whole budget and nothing followed it.
        FUZZ_CHECK(!runs.empty() && runs.back() == kPollBudget + 1, info.name);
        FUZZ_CHECK(trace.back() == "LSR", info.name);
    }
}

// Which bytes the call took from the FIFO decides its status and its value.
void check_taken(const OperationInfo &info, const tester_ops::Outcome &outcome,
                 const tester_ops::Bytes &taken)
{
    const int status = outcome.status;
    const std::size_t replies = tester_ops::reply_count(info.shape);
    if (status != TESTER_OK) FUZZ_CHECK(!outcome.out_changed, info.name);
    if (info.shape == Shape::identify) {
        FUZZ_CHECK(taken.size() == (status == TESTER_OK ? 1u : 0u), info.name);
        if (status == TESTER_OK) FUZZ_CHECK(outcome.out == taken[0], info.name);
        return;
    }
    switch (status) {
        case TESTER_OK:
            FUZZ_CHECK(taken.size() == 1 + replies && taken[0] == info.command, info.name);
            if (replies > 0) {
                FUZZ_CHECK(outcome.out == tester_ops::out_value(info, taken.data() + 1), info.name);
            }
            break;
        case TESTER_E_TIMEOUT:
        case TESTER_E_RANGE:
            FUZZ_CHECK(taken.empty(), info.name);
            break;
        case TESTER_E_ECHO:
            FUZZ_CHECK(taken.size() == 1 && taken[0] != info.command, info.name);
            break;
        case TESTER_E_NO_DATA:
            FUZZ_CHECK(!taken.empty() && taken[0] == info.command, info.name);
            // The echo and, at most, all but the last reply byte.
            FUZZ_CHECK(taken.size() <= std::max<std::size_t>(replies, 1), info.name);
            break;
    }
}

void check_line(const OperationInfo &info, const tester_ops::Call &call, int status,
                const tester_ops::Bytes &line)
{
    const tester_ops::Bytes healthy = tester_ops::healthy_line(info, call);
    switch (status) {
        case TESTER_OK:
            FUZZ_CHECK(line == healthy, info.name);
            break;
        case TESTER_E_TIMEOUT:
        case TESTER_E_ECHO:
            FUZZ_CHECK(line == tester_ops::Bytes{info.command}, info.name);
            break;
        default:
            FUZZ_CHECK(starts_with(healthy, line), info.name);
    }
}

// Bytes still in the FIFO after one operation; they head it for the next.
std::vector<std::uint8_t> run_one(unsigned short base, const OperationInfo &info,
                                  const Script &script, const std::vector<std::uint8_t> &left)
{
    ScriptedUart uart(base);
    std::vector<std::uint8_t> fifo = left;
    for (const std::uint8_t b : left) uart.arrive(b);
    for (const Arrival &a : script.arrivals) {
        uart.arrive(a.byte, a.hidden_reads);
        fifo.push_back(a.byte);
    }
    if (script.hold_after_write > 0)
        uart.hold_transmitter(script.hold_after_write, script.hold_reads);
    const DWORD ticks_before = virtual_ticks;

    const tester_ops::Outcome outcome = tester_ops::run_operation(base, info.op, script.call);

    const int status = outcome.status;
    const std::size_t taken_count = fifo.size() - uart.unread();
    const tester_ops::Bytes taken(fifo.begin(),
                                  fifo.begin() + static_cast<std::ptrdiff_t>(taken_count));

    FUZZ_CHECK(tester_ops::is_status_code(status), info.name);
    FUZZ_CHECK(may_return(info, script.call, status), info.name);
    if (status == TESTER_E_RANGE) FUZZ_CHECK(uart.trace().empty(), info.name);
    check_polls(info, status, uart.trace());
    check_taken(info, outcome, taken);
    check_line(info, script.call, status, uart.transmitted());
    if (info.op == tester_ops::Op::Tester_Reset && status == TESTER_OK) {
        FUZZ_CHECK(virtual_ticks - ticks_before >= 25, info.name);
    }
    return std::vector<std::uint8_t>(fifo.begin() + static_cast<std::ptrdiff_t>(taken_count),
                                     fifo.end());
}

}  // namespace

// Virtual ticks: each reading moves the clock on by a millisecond, so the settle
// wait of a reset costs no real time.
extern "C" DWORD WINAPI GetTickCount(void) { return ++virtual_ticks; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ByteScript in(data, size);
    const unsigned short base = kBases[in.pick(std::size(kBases))];
    std::vector<std::uint8_t> left;
    for (std::size_t n = 0; n < kMaxOperations && !in.done(); ++n) {
        const OperationInfo &info = tester_ops::operations[in.pick(tester_ops::operations.size())];
        const Script script = read_script(in, info);
        left = run_one(base, info, script, left);
    }
    return 0;
}
