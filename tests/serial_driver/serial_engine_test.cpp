// The transaction engine: each failure point, its status, its time and the
// clean-up, on the fake Win32 subset with virtual time.
#include <functional>

#include "serial_fake_fixture.h"

namespace {

using Op = std::function<int(HANDLE, bool &output_untouched)>;

Op set_si_mod3()
{
    return [](HANDLE h, bool &untouched) {
        untouched = true;
        return Set_SI_Mod3(h, 0x15);
    };
}

Op rd_mod_si()
{
    return [](HANDLE h, bool &untouched) {
        unsigned char out = 0xEE;
        const int status = RD_Mod_SI(h, &out);
        untouched = out == 0xEE;
        return status;
    };
}

struct FailureCase {
    const char *name;
    Op op;
    fake::Box box;
    fake::Faults faults;
    int status;
    fake::Bytes line;  // what the host put on the line
    DWORD elapsed_ms;  // virtual time the call took
};

void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }

class SerialFailurePoints : public SerialFake, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SerialFailurePoints, ReturnsItsStatusInTimeAndCleansUp)
{
    const FailureCase &c = GetParam();
    start(c.box, c.faults);
    bool untouched = false;
    EXPECT_EQ(c.op(port, untouched), c.status);
    EXPECT_TRUE(untouched);
    EXPECT_EQ(fake::observed().line, c.line);
    EXPECT_EQ(elapsed(), c.elapsed_ms);
    expect_clean();
}

fake::Faults with(std::function<void(fake::Faults &)> set)
{
    fake::Faults f;
    set(f);
    return f;
}

const fake::Box kSilent = nullptr;

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialFailurePoints,
    ::testing::Values(FailureCase{"RxMaskRefused",
                                  set_si_mod3(),
                                  kSilent,
                                  with([](fake::Faults &f) { f.rx_mask_refused = true; }),
                                  TESTER_E_PORT,
                                  {},
                                  0},
                      FailureCase{"CommandWaitRefused",
                                  rd_mod_si(),
                                  fake::answer(0xC0, {echo(0xC0)}),
                                  with([](fake::Faults &f) { f.wait_refused_at = 0; }),
                                  TESTER_E_PORT,
                                  {0xC0},
                                  0},
                      FailureCase{
                          "NoEcho", set_si_mod3(), kSilent, {}, TESTER_E_TIMEOUT, {0xE2}, 500},
                      FailureCase{"EchoReadRefused",
                                  rd_mod_si(),
                                  fake::answer(0xC0, {echo(0xC0)}),
                                  with([](fake::Faults &f) { f.read_refused_at = 0; }),
                                  TESTER_E_NO_DATA,
                                  {0xC0},
                                  1},
                      // Differs from the command in the top bit only.
                      FailureCase{"WrongEchoSendsNoParameter",
                                  set_si_mod3(),
                                  fake::answer(0xE2, {echo(0x62)}),
                                  {},
                                  TESTER_E_ECHO,
                                  {0xE2},
                                  1},
                      FailureCase{"TxMaskRefused",
                                  set_si_mod3(),
                                  fake::answer(0xE2, {echo(0xE2)}),
                                  with([](fake::Faults &f) { f.tx_mask_refused = true; }),
                                  TESTER_E_PORT,
                                  {0xE2},
                                  1},
                      FailureCase{"ParameterWriteRefused",
                                  set_si_mod3(),
                                  fake::answer(0xE2, {echo(0xE2)}),
                                  with([](fake::Faults &f) { f.write_refused_at = 1; }),
                                  TESTER_E_WRITE,
                                  {0xE2},
                                  1},
                      FailureCase{"ParameterWriteNeverCompletes",
                                  set_si_mod3(),
                                  fake::answer(0xE2, {echo(0xE2)}),
                                  with([](fake::Faults &f) { f.write_stalls_at = 1; }),
                                  TESTER_E_TIMEOUT,
                                  {0xE2},
                                  1 + 1500},
                      FailureCase{"ReplyWaitRefused",
                                  rd_mod_si(),
                                  fake::answer(0xC0, {echo(0xC0)}),
                                  with([](fake::Faults &f) { f.wait_refused_at = 1; }),
                                  TESTER_E_PORT,
                                  {0xC0},
                                  1},
                      FailureCase{"NoReply",
                                  rd_mod_si(),
                                  fake::answer(0xC0, {echo(0xC0)}),
                                  {},
                                  TESTER_E_TIMEOUT,
                                  {0xC0},
                                  1 + 1500},
                      FailureCase{"ReplyReadRefused",
                                  rd_mod_si(),
                                  fake::answer(0xC0, {echo(0xC0), {9, {0x02}}}),
                                  with([](fake::Faults &f) { f.read_refused_at = 1; }),
                                  TESTER_E_NO_DATA,
                                  {0xC0},
                                  9},
                      FailureCase{"ReadDeliversNothingAsEcho",
                                  rd_mod_si(),
                                  // The event comes but nothing is queued: an echo of 0.
                                  [](const fake::Bytes &) {
                                      return std::vector<fake::Chunk>{{1, {}}};
                                  },
                                  {},
                                  TESTER_E_ECHO,
                                  {0xC0},
                                  1}),
    [](const auto &test) { return std::string(test.param.name); });

TEST_F(SerialFake, CommandOnlyOperationsSendTheirByteAndTakeTheEcho)
{
    const struct {
        int (*op)(void *);
        std::uint8_t command;
    } cases[] = {
        {SSI, 0x80}, {SSO, 0x81}, {Set_SI_Mod1, 0xE0}, {Set_SI_Mod2, 0xE1}, {Tester_Reset, 0x30}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        start(fake::answer(c.command, {echo(c.command)}));
        EXPECT_EQ(c.op(port), TESTER_OK);
        EXPECT_EQ(fake::observed().line, fake::Bytes{c.command});
        EXPECT_EQ(fake::observed().masks, (std::vector<DWORD>{EV_RXCHAR, 0}));
        EXPECT_EQ(fake::observed().events_created, 2);
        expect_clean();
    }
}

TEST_F(SerialFake, TesterResetReturnsOnlyAfterTheSettleWaitAlsoAcrossATickWrap)
{
    for (DWORD tick_start : {fake::kStartTick, 0xFFFFFFF0u}) {
        SCOPED_TRACE(tick_start);
        start(fake::answer(0x30, {echo(0x30)}), {}, tick_start);
        EXPECT_EQ(Tester_Reset(port), TESTER_OK);
        // The echo is read 1 ms in; the wait then counts 25 ticks.
        EXPECT_GE(elapsed(), 1u + 25u);
        EXPECT_LE(elapsed(), 1u + 27u);
        expect_clean();
    }
}

TEST_F(SerialFake, TesterResetWithoutEchoSkipsTheSettleWait)
{
    start(kSilent);
    EXPECT_EQ(Tester_Reset(port), TESTER_E_TIMEOUT);
    EXPECT_EQ(elapsed(), 500u);
    expect_clean();
}

TEST_F(SerialFake, GetIdReturnsTheFirstByteEvenZero)
{
    for (std::uint8_t id : {0x5Au, 0x00u}) {
        start(fake::answer(0x00, {{3, {id, 0x77}}}));
        unsigned char out = 0xEE;
        EXPECT_EQ(Get_ID(port, &out), TESTER_OK);
        EXPECT_EQ(out, id);
        EXPECT_EQ(fake::observed().line, fake::Bytes{0x00});
        expect_clean();
    }
}

TEST_F(SerialFake, GetIdReportsASilentBoxAndLeavesItsByte)
{
    start(kSilent);
    unsigned char out = 0xEE;
    EXPECT_EQ(Get_ID(port, &out), TESTER_E_TIMEOUT);
    EXPECT_EQ(out, 0xEE);
    EXPECT_EQ(elapsed(), 500u);
    expect_clean();

    fake::Faults refused;
    refused.read_refused_at = 0;
    start(fake::answer(0x00, {{3, {0x42}}}), refused);
    EXPECT_EQ(Get_ID(port, &out), TESTER_E_NO_DATA);
    EXPECT_EQ(out, 0xEE);
    expect_clean();

    fake::Faults no_mask;
    no_mask.rx_mask_refused = true;
    start(kSilent, no_mask);
    EXPECT_EQ(Get_ID(port, &out), TESTER_E_PORT);
    EXPECT_TRUE(fake::observed().line.empty());
    expect_clean();
}

TEST_F(SerialFake, ReplyWithTheEchoNeedsNoSecondWait)
{
    start(fake::answer(0xC0, {{1, {0xC0, 0x03}}}));
    unsigned char out = 0;
    EXPECT_EQ(RD_Mod_SI(port, &out), TESTER_OK);
    EXPECT_EQ(out, 0x03);
    EXPECT_EQ(elapsed(), 1u);
    expect_clean();
}

TEST_F(SerialFake, LateReplyWithinItsLimitSucceedsPastItTimesOutAndPoisonsTheNextEcho)
{
    start(fake::answer(0xC0, {echo(0xC0), {1001, {0x04}}}));
    unsigned char out = 0;
    EXPECT_EQ(RD_Mod_SI(port, &out), TESTER_OK);
    EXPECT_EQ(out, 0x04);

    start(fake::answer(0xC0, {echo(0xC0), {2001, {0x04}}}));
    out = 0xEE;
    EXPECT_EQ(RD_Mod_SI(port, &out), TESTER_E_TIMEOUT);
    EXPECT_EQ(out, 0xEE);
    expect_clean();
}

TEST_F(SerialFake, StaleByteIsTakenAsTheNextEcho)
{
    start([](const fake::Bytes &w) {
        // RD_Mod_SI: reply 2 s late; SSI: echoed at once.
        if (w == fake::Bytes{0xC0}) return std::vector<fake::Chunk>{echo(0xC0), {2001, {0x04}}};
        if (w == fake::Bytes{0x80}) return std::vector<fake::Chunk>{echo(0x80)};
        return std::vector<fake::Chunk>{};
    });
    unsigned char out = 0;
    EXPECT_EQ(RD_Mod_SI(port, &out), TESTER_E_TIMEOUT);
    fake::advance(1000);  // the late byte lands in the queue between the calls
    EXPECT_EQ(SSI(port), TESTER_E_ECHO);
    expect_clean();
}

TEST_F(SerialFake, CommandReadNeverStoresPastItsBufferAndDropsTheSurplus)
{
    fake::Bytes flood(40, 0x33);
    flood[0] = 0x04;
    flood[1] = 0x2D;
    start(fake::answer(0x04, {{1, flood}}));
    unsigned char out = 0;
    EXPECT_EQ(RD_RS(port, &out), TESTER_OK);
    EXPECT_EQ(out, 0x09);
    EXPECT_TRUE(fake::observed().unread.empty());
    expect_clean();
}

TEST_F(SerialFake, ReplyReadThatDeliversNothingWaitsForTheByte)
{
    // A receive event with nothing behind it, then the reply.
    start(fake::answer(0x10, {echo(0x10), {5, {}}, {50, {0x00}}}));
    int count = 0;
    EXPECT_EQ(RD_Count_SI(port, &count), TESTER_OK);
    EXPECT_EQ(count, 256);
    expect_clean();
}

}  // namespace
