// A long run of the serial driver over a pseudo-terminal against the simulated
// box: 100000 transactions, faults injected at random from a fixed seed. Nothing
// may leak (file descriptors, platform handles), and after every failure the
// link must work again. The box is paced at the line rate, so that replies
// reach the host both with their echo and apart from it; unpaced, the run is
// only about a fifth shorter.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "faults.h"
#include "open_descriptors.h"
#include "operation_catalogue.h"
#include "pty_server.h"
#include "run_operation.h"
#include "win32_comm.h"
#include "win32_test_hooks.h"

namespace {

namespace sim = tester_sim;
using tester_ops::OperationInfo;
using tester_ops::Shape;
using Clock = std::chrono::steady_clock;

constexpr long kTransactions = 100000;
constexpr std::uint32_t kSeed = 20240429;
// What the box has written reaches the host's queue a moment later; on a
// loaded machine that moment can run to milliseconds.
constexpr std::chrono::milliseconds kLanding{10};

const OperationInfo &info_of(tester_ops::Op op)
{
    return tester_ops::operations[static_cast<std::size_t>(op)];
}

// What a fault does to the transaction it hits.
enum class Effect {
    none,        // succeeds, values intact
    wrong_echo,  // TESTER_E_ECHO; the box drops the command
    noise,       // TESTER_E_ECHO; bytes of the transaction may still be on their way
    timeout,     // TESTER_E_TIMEOUT; nothing left behind
    late_reply,  // TESTER_E_TIMEOUT; the reply lands after the call gave up
};

struct Plan {
    const OperationInfo *info;
    tester_ops::Call call;
    std::string fault;  // empty: a healthy box
    Effect effect = Effect::none;
    std::size_t box_bytes = 0;  // what the box sends for it, where the plan depends on it
};

bool has_echo(Shape shape) { return shape != Shape::identify; }
bool has_reply(Shape shape) { return tester_ops::reply_count(shape) > 0; }
// Noise before the echo of a command with parameters would leave the box waiting
// for bytes that the host never sends after a failed echo.
bool sends_nothing_after_echo(Shape shape)
{
    return shape == Shape::command_only || shape == Shape::reply || shape == Shape::timer;
}

class Planner {
  public:
    Plan next()
    {
        Plan p;
        p.info = &pick_operation();
        p.call.byte_arg = static_cast<std::uint8_t>(rng_());
        p.call.length = 1 + static_cast<int>(rng_() % 256);
        p.call.word = static_cast<std::uint32_t>(rng_());
        p.call.marker = 0xEEEEEEEEu;
        const Shape shape = p.info->shape;
        const std::string target = std::string("@") + p.info->name;
        const unsigned roll = rng_() % 10000;
        // Slow faults are rare: each costs its full time limit.
        if (roll < 1) {
            p.fault = "silent" + target;
            p.effect = Effect::timeout;
        } else if (roll < 2) {
            plan_late_reply(p);
        } else if (roll < 3) {
            plan_short_word(p);
        } else if (roll < 150 && has_echo(shape)) {
            p.fault = "echo=" + std::to_string(p.info->command ^ 0x55) + target;
            p.effect = Effect::wrong_echo;
        } else if (roll < 300 && has_echo(shape) && sends_nothing_after_echo(shape)) {
            p.fault = "noise=" + std::to_string(p.info->command ^ 0xFF) + target;
            p.effect = Effect::noise;
            p.box_bytes = 2 + tester_ops::reply_count(shape);
        } else if (roll < 450 && has_reply(shape)) {
            p.fault = "split=" + std::to_string(1 + rng_() % 20) + "," +
                      std::to_string(1 + rng_() % 3) + target;
        } else if (roll < 600 && has_reply(shape)) {
            p.fault = "delay=" + std::to_string(1 + rng_() % 20) + target;
        } else if (roll < 750 && has_echo(shape)) {
            p.fault = "echo-delay=" + std::to_string(1 + rng_() % 20) + target;
        }
        return p;
    }

  private:
    const OperationInfo &pick_operation()
    {
        // A reset costs its 25 ms settle wait: one in a few hundred.
        for (;;) {
            const OperationInfo &info =
                tester_ops::operations[rng_() % tester_ops::operations.size()];
            if (info.op != tester_ops::Op::Tester_Reset || rng_() % 20 == 0) return info;
        }
    }

    // RD_Mod_SI's reply (a mode, 1 to 4) after the call has given up on it; it
    // cannot pass for the echo of the follow-up's command.
    void plan_late_reply(Plan &p)
    {
        p.info = &info_of(tester_ops::Op::RD_Mod_SI);
        p.fault = "delay=1700@RD_Mod_SI";
        p.effect = Effect::late_reply;
        p.box_bytes = 2;
    }

    void plan_short_word(Plan &p)
    {
        p.info = &info_of(tester_ops::Op::Get_ArincWordSO);
        p.fault = "short=2@Get_ArincWordSO";
        p.effect = Effect::timeout;
    }

    std::mt19937 rng_{kSeed};
};

class SerialSoak : public ::testing::Test {
  protected:
    void SetUp() override
    {
        sim::serve_setup setup;
        setup.options.box.pacing = true;
        server = std::make_unique<sim::pty_server>(setup);
        setenv("COM1", server->device_path().c_str(), 1);
        fds_before_open = open_descriptors();
        handles_before_open = win32_test_open_handles();
        hComm = Init_COM(char{1});
        ASSERT_GT(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(hComm)), 0);
    }

    void TearDown() override
    {
        if (hComm != nullptr && hComm != INVALID_HANDLE_VALUE) CloseHandle(hComm);
        // Closing the port gives back what opening it took.
        EXPECT_EQ(open_descriptors(), fds_before_open);
        EXPECT_EQ(win32_test_open_handles(), handles_before_open);
        unsetenv("COM1");
    }

    void set_fault(const std::string &text)
    {
        std::vector<sim::fault> faults;
        if (!text.empty()) {
            std::string error;
            auto f = sim::parse_fault(text, error);
            ASSERT_TRUE(f) << text << ": " << error;
            faults.push_back(*f);
        }
        server->set_faults(faults);
    }

    // Until the box has sent `count` bytes since the traffic was last cleared.
    void wait_for_box_bytes(std::size_t count)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        for (;;) {
            std::size_t sent = 0;
            for (const auto &e : server->traffic()) sent += e.dir == sim::direction::box_to_host;
            if (sent >= count || Clock::now() > deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(kLanding);
    }

    std::unique_ptr<sim::pty_server> server;
    void *hComm = nullptr;
    unsigned fds_before_open = 0;
    unsigned handles_before_open = 0;
};

TEST_F(SerialSoak, HundredThousandTransactionsLeakNothingAndRecoverFromEveryFailure)
{
    const unsigned fds_start = open_descriptors();
    const unsigned handles_start = win32_test_open_handles();
    std::array<std::uint32_t, 256> words_so{};  // what the box's output side holds
    std::map<int, long> statuses;
    long transactions = 0;
    long failures = 0;
    const auto started = Clock::now();
    Planner planner;

    auto transact = [&](const OperationInfo &info, const tester_ops::Call &call) {
        const tester_ops::Outcome outcome = tester_ops::run_operation(hComm, info.op, call);
        ++transactions;
        ++statuses[outcome.status];
        if (outcome.status != TESTER_OK) {
            EXPECT_FALSE(outcome.out_changed) << info.name;
        }
        EXPECT_EQ(win32_test_open_handles(), handles_start) << info.name;
        return outcome;
    };

    while (transactions < kTransactions && !HasFailure()) {
        const Plan plan = planner.next();
        const OperationInfo &info = *plan.info;
        if (!plan.fault.empty()) {
            server->clear_traffic();
            set_fault(plan.fault);
        }
        const tester_ops::Outcome outcome = transact(info, plan.call);
        if (!plan.fault.empty()) set_fault("");

        switch (plan.effect) {
            case Effect::none:
                ASSERT_EQ(outcome.status, TESTER_OK) << info.name << " " << plan.fault;
                break;
            case Effect::wrong_echo:
            case Effect::noise:
                ASSERT_EQ(outcome.status, TESTER_E_ECHO) << info.name << " " << plan.fault;
                break;
            case Effect::timeout:
            case Effect::late_reply:
                ASSERT_EQ(outcome.status, TESTER_E_TIMEOUT) << info.name << " " << plan.fault;
                break;
        }
        if (outcome.status == TESTER_OK) {
            if (info.op == tester_ops::Op::Put_ArincWordSO)
                words_so[plan.call.byte_arg] = plan.call.word;
            if (info.op == tester_ops::Op::Get_ArincWordSO) {
                EXPECT_EQ(outcome.out, words_so[plan.call.byte_arg]) << plan.fault;
            }
            if (transactions % 1000 == 0) server->clear_traffic();
            continue;
        }

        // After the failure, a command-only call and a read must work. A byte of
        // the failed transaction that comes late stands before the next echo:
        // that call fails its echo, and a retry succeeds.
        ++failures;
        if (plan.box_bytes > 0) wait_for_box_bytes(plan.box_bytes);
        const int follow_up = transact(info_of(tester_ops::Op::Set_SI_Mod1), {}).status;
        switch (plan.effect) {
            case Effect::late_reply:
                EXPECT_EQ(follow_up, TESTER_E_ECHO);
                break;
            case Effect::noise:
                EXPECT_TRUE(follow_up == TESTER_OK || follow_up == TESTER_E_ECHO) << follow_up;
                break;
            default:
                EXPECT_EQ(follow_up, TESTER_OK) << "after " << plan.fault;
        }
        if (follow_up == TESTER_E_ECHO) {
            // Its read may have come before its own echo; that one lands first.
            std::this_thread::sleep_for(kLanding);
            EXPECT_EQ(transact(info_of(tester_ops::Op::Set_SI_Mod1), {}).status, TESTER_OK);
        }
        const tester_ops::Outcome mode = transact(info_of(tester_ops::Op::RD_Mod_SI), {});
        ASSERT_EQ(mode.status, TESTER_OK) << "after " << plan.fault;
        EXPECT_EQ(mode.out, 1u);
    }

    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const unsigned fds_end = open_descriptors();
    const unsigned handles_end = win32_test_open_handles();
    EXPECT_EQ(fds_end, fds_start);
    EXPECT_EQ(handles_end, handles_start);
    std::cout << transactions << " transactions, " << failures << " failures injected, in "
              << seconds << " s; open fds " << fds_start << " -> " << fds_end
              << ", platform handles " << handles_start << " -> " << handles_end << "\nstatuses:";
    for (const auto &[status, count] : statuses) std::cout << " " << status << "x" << count;
    std::cout << std::endl;
}

}  // namespace
