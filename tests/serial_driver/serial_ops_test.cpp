// Opening, the version, and the bytes each operation puts on the line and turns
// back into values, on the fake Win32 subset.
#include <cstring>

#include "serial_fake_fixture.h"

namespace {

TEST_F(SerialFake, InitComMapsTheLowThreeBitsToTheDeviceName)
{
    const struct {
        char port;
        const char *path;
    } cases[] = {{1, "\\\\.\\COM1"}, {9, "\\\\.\\COM1"},  {8, "\\\\.\\COM0"},
                 {0, "\\\\.\\COM0"}, {-1, "\\\\.\\COM7"}, {7, "\\\\.\\COM7"}};
    for (const auto &c : cases) {
        fake::reset(nullptr);
        void *h = Init_COM(c.port);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        ASSERT_EQ(fake::opened_paths().size(), 1u);
        EXPECT_EQ(fake::opened_paths()[0], c.path) << int{c.port};
    }
}

TEST_F(SerialFake, InitComSetsTheLineAndKeepsEveryOtherField)
{
    fake::reset(nullptr);
    void *h = Init_COM(1);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_NE(h, nullptr);
    const fake::Observed &seen = fake::observed();
    EXPECT_EQ(seen.dcb.BaudRate, 115200u);
    EXPECT_EQ(seen.dcb.ByteSize, 8);
    EXPECT_EQ(seen.dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(seen.dcb.fBinary, 1u);
    EXPECT_EQ(seen.dcb.fParity, 1u);
    EXPECT_EQ(seen.dcb.Parity, EVENPARITY);  // as the port had it
    EXPECT_EQ(seen.dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(seen.dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(seen.dcb.XonChar, 0x11);
    EXPECT_EQ(seen.timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(seen.timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(seen.timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(seen.timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(seen.timeouts.WriteTotalTimeoutConstant, 0u);
    EXPECT_TRUE(seen.masks.empty());
    EXPECT_TRUE(seen.line.empty());
}

TEST_F(SerialFake, InitComFailuresLeaveNothingOpen)
{
    fake::Faults open_fails;
    open_fails.open_fails = true;
    fake::reset(nullptr, open_fails);
    EXPECT_EQ(Init_COM(1), INVALID_HANDLE_VALUE);

    for (bool timeouts : {true, false}) {
        fake::Faults refused;
        refused.timeouts_refused = timeouts;
        refused.state_refused = !timeouts;
        fake::reset(nullptr, refused);
        EXPECT_EQ(Init_COM(1), nullptr);
        EXPECT_EQ(fake::observed().port_handles, 0);
    }

    // A refused read of the settings still applies the five fields.
    fake::Faults unreadable;
    unreadable.state_read_refused = true;
    fake::reset(nullptr, unreadable);
    EXPECT_NE(Init_COM(1), nullptr);
    EXPECT_EQ(fake::observed().dcb.BaudRate, 115200u);
}

TEST(SerialVersion, WritesExactlyFourBytes)
{
    char text[8];
    std::memset(text, 'x', sizeof text);
    version_Velmora_DLL(text);
    EXPECT_EQ(std::memcmp(text, "2.1\0xxxx", 8), 0);
}

TEST_F(SerialFake, OneParameterWritesSendTheirByteAfterTheEcho)
{
    const struct {
        const char *name;
        int (*op)(void *, unsigned char);
        unsigned char arg;
        std::uint8_t command, param;
    } cases[] = {
        {"Set_SI", Set_SI, 0xF9, 0x88, 0x05},
        {"Set_SI", Set_SI, 0x00, 0x88, 0x04},
        {"Set_SI", Set_SI, 0x06, 0x88, 0x00},
        {"Set_SI", Set_SI, 0xFF, 0x88, 0x01},
        {"Set_SO", Set_SO, 0xCF, 0x89, 0x28},
        {"Set_SO", Set_SO, 0x00, 0x89, 0x20},
        {"Set_SO", Set_SO, 0x30, 0x89, 0x00},
        {"Set_SO", Set_SO, 0xFF, 0x89, 0x08},
        {"Set_SI_Mod3", Set_SI_Mod3, 0x00, 0xE2, 0x00},
        {"Set_SI_Mod4", Set_SI_Mod4, 0xFF, 0xE3, 0xFF},
        {"WR_Timer_Param", WR_Timer_Param, 0x05, 0x26, 0x05},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        start(fake::answer(c.command, {echo(c.command)}));
        EXPECT_EQ(c.op(port, c.arg), TESTER_OK);
        EXPECT_EQ(fake::observed().line, (fake::Bytes{c.command, c.param}));
        EXPECT_EQ(fake::observed().masks, (std::vector<DWORD>{EV_RXCHAR, EV_TXEMPTY, 0}));
        expect_clean();
    }
}

TEST_F(SerialFake, LengthWritesCheckTheRangeBeforeTouchingThePort)
{
    const struct {
        int (*op)(void *, int);
        std::uint8_t command;
    } ops[] = {{Set_SO_Mod1, 0xF0}, {Set_SO_Mod2, 0xF1}};
    for (const auto &o : ops) {
        for (int bad : {0, -1, 257, -2147483647 - 1}) {
            start(fake::answer(o.command, {echo(o.command)}));
            EXPECT_EQ(o.op(port, bad), TESTER_E_RANGE);
            EXPECT_TRUE(fake::observed().line.empty());
            EXPECT_TRUE(fake::observed().masks.empty());
            EXPECT_EQ(fake::observed().events_created, 0);
        }
        for (auto [length, param] : {std::pair{1, 0x00}, {128, 0x7F}, {256, 0xFF}}) {
            start(fake::answer(o.command, {echo(o.command)}));
            EXPECT_EQ(o.op(port, length), TESTER_OK);
            EXPECT_EQ(fake::observed().line, (fake::Bytes{o.command, std::uint8_t(param)}));
        }
    }
}

// Each read as one shape: status, and the value it stored widened to int.
template <int (*Read)(void *, unsigned char *)>
int byte_read(void *h, int &value)
{
    unsigned char b = 0;
    const int status = Read(h, &b);
    value = b;
    return status;
}

template <int (*Read)(void *, int *)>
int int_read(void *h, int &value)
{
    return Read(h, &value);
}

TEST_F(SerialFake, OneByteReadsConvertTheReplyWithTheEchoOrLater)
{
    const struct {
        const char *name;
        std::uint8_t command, reply;
        int (*read)(void *, int &);
        int value;
    } cases[] = {
        {"RD_RS 00", 0x04, 0x00, byte_read<RD_RS>, 0x24},
        {"RD_RS 2D", 0x04, 0x2D, byte_read<RD_RS>, 0x09},
        {"RD_RS FF", 0x04, 0xFF, byte_read<RD_RS>, 0xC9},
        {"RD_Mod_SI", 0xC0, 0x05, byte_read<RD_Mod_SI>, 5},
        {"RD_Param_SI", 0x06, 0xAD, byte_read<RD_Param_SI>, 0xAD},
        {"RD_Mod_SO", 0xC8, 0x02, byte_read<RD_Mod_SO>, 2},
        {"RD_Ivent_Flag", 0x08, 0x81, byte_read<RD_Ivent_Flag>, 0x81},
        {"RD_Count_Ivent", 0x09, 0x00, byte_read<RD_Count_Ivent>, 0},
        {"RD_Param_SO 00", 0x05, 0x00, int_read<RD_Param_SO>, 1},
        {"RD_Param_SO FF", 0x05, 0xFF, int_read<RD_Param_SO>, 256},
        {"RD_Count_SI 00", 0x10, 0x00, int_read<RD_Count_SI>, 256},
        {"RD_Count_SI FF", 0x10, 0xFF, int_read<RD_Count_SI>, 255},
        {"RD_Count_SO 01", 0x11, 0x01, int_read<RD_Count_SO>, 1},
    };
    for (const auto &c : cases) {
        for (bool with_echo : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (with_echo ? " with the echo" : " later"));
            start(with_echo ? fake::answer(c.command, {{1, {c.command, c.reply}}})
                            : fake::answer(c.command, {echo(c.command), {40, {c.reply}}}));
            int value = -7;
            EXPECT_EQ(c.read(port, value), TESTER_OK);
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(fake::observed().line, fake::Bytes{c.command});
            expect_clean();
        }
    }
}

TEST_F(SerialFake, PutSendsTheIndexThenTheWordInOneWrite)
{
    std::vector<fake::Bytes> writes;
    fake::reset([&](const fake::Bytes &w) {
        writes.push_back(w);
        return w == fake::Bytes{0x98} ? std::vector<fake::Chunk>{echo(0x98)}
                                      : std::vector<fake::Chunk>{};
    });
    port = fake::open_port();
    EXPECT_EQ(Put_ArincWordSI(port, 5, 0x12345678ul), TESTER_OK);
    EXPECT_EQ(writes, (std::vector<fake::Bytes>{{0x98}, {0x05}, {0x12, 0x34, 0x56, 0x78}}));
    EXPECT_EQ(fake::observed().masks, (std::vector<DWORD>{EV_RXCHAR, EV_TXEMPTY, 0}));
    expect_clean();
}

TEST_F(SerialFake, PutFailures)
{
    const struct {
        const char *name;
        fake::Faults faults;
        int status;
        DWORD elapsed;
        fake::Bytes line;
    } cases[] = {
        {"index refused",
         [] {
             fake::Faults f;
             f.write_refused_at = 1;
             return f;
         }(),
         TESTER_E_WRITE,
         1,
         {0x99}},
        {"index stalls",
         [] {
             fake::Faults f;
             f.write_stalls_at = 1;
             return f;
         }(),
         TESTER_E_TIMEOUT,
         1 + 1500,
         {0x99}},
        {"data refused",
         [] {
             fake::Faults f;
             f.write_refused_at = 2;
             return f;
         }(),
         TESTER_E_WRITE,
         1,
         {0x99, 0x2A}},
        {"data stalls",
         [] {
             fake::Faults f;
             f.write_stalls_at = 2;
             return f;
         }(),
         TESTER_E_TIMEOUT,
         1 + 6000,
         {0x99, 0x2A}},
        {"tx mask refused",
         [] {
             fake::Faults f;
             f.tx_mask_refused = true;
             return f;
         }(),
         TESTER_E_PORT,
         1,
         {0x99}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        start(fake::answer(0x99, {echo(0x99)}), c.faults);
        EXPECT_EQ(Put_ArincWordSO(port, 0x2A, 0x1234562Aul), c.status);
        EXPECT_EQ(elapsed(), c.elapsed);
        EXPECT_EQ(fake::observed().line, c.line);
        expect_clean();
    }
}

TEST_F(SerialFake, WrongEchoPutsNoIndexOnTheLine)
{
    for (std::uint8_t command : {0x90, 0x98}) {
        start(fake::answer(command, {echo(0x5A)}));
        unsigned long word = 7;
        const int status = command == 0x90 ? Get_ArincWordSI(port, 3, &word)
                                           : Put_ArincWordSI(port, 3, 0x5A5A5A5Aul);
        EXPECT_EQ(status, TESTER_E_ECHO);
        EXPECT_EQ(word, 7ul);
        EXPECT_EQ(fake::observed().line, fake::Bytes{command});
        expect_clean();
    }
}

// The box answers a get's index byte with the word in the given pieces.
fake::Box word_in_pieces(std::uint8_t command, std::vector<fake::Bytes> pieces, DWORD gap)
{
    return [=](const fake::Bytes &w) {
        std::vector<fake::Chunk> out;
        if (w == fake::Bytes{command}) out.push_back(echo(command));
        if (w.size() == 1 && w[0] == 0x07) {  // the index used below
            DWORD at = 2;
            for (const auto &p : pieces) out.push_back({at += gap, p});
        }
        return out;
    };
}

TEST_F(SerialFake, GetAssemblesTheWordHoweverItArrives)
{
    const std::vector<std::vector<fake::Bytes>> ways = {
        {{0x12, 0x34, 0x56, 0x05}},
        {{0x12, 0x34}, {0x56, 0x05}},
        {{0x12}, {0x34}, {0x56}, {0x05}},
        {{0x12}, {}, {0x34, 0x56}, {0x05}},  // a receive event with nothing behind it
    };
    for (const auto &pieces : ways) {
        start(word_in_pieces(0x91, pieces, 2900));  // each piece within its 3000 ms
        unsigned long word = 0;
        EXPECT_EQ(Get_ArincWordSO(port, 0x07, &word), TESTER_OK);
        EXPECT_EQ(word, 0x12345605ul);
        EXPECT_EQ(fake::observed().line, (fake::Bytes{0x91, 0x07}));
        expect_clean();
    }
}

TEST_F(SerialFake, GetNeverStoresPastTheWordAndKeepsTheSurplusQueued)
{
    start(word_in_pieces(0x90, {{0x12, 0x34, 0x56, 0x05, 0xEE, 0xEF}}, 1));
    unsigned long word = 0;
    EXPECT_EQ(Get_ArincWordSI(port, 0x07, &word), TESTER_OK);
    EXPECT_EQ(word, 0x12345605ul);
    EXPECT_EQ(fake::observed().unread, (fake::Bytes{0xEE, 0xEF}));
    expect_clean();
}

TEST_F(SerialFake, GetWithThreeBytesTimesOutAfterTheFollowingWait)
{
    start(word_in_pieces(0x91, {{0x12, 0x34, 0x56}}, 10));
    unsigned long word = 0xDEADBEEFul;
    EXPECT_EQ(Get_ArincWordSO(port, 0x07, &word), TESTER_E_TIMEOUT);
    EXPECT_EQ(word, 0xDEADBEEFul);
    // The index goes out with the echo at 1 ms; the bytes come 12 ms later.
    EXPECT_EQ(elapsed(), 1u + 12u + 3000u);
    expect_clean();
}

TEST_F(SerialFake, GetFailuresInTheCollection)
{
    const struct {
        const char *name;
        fake::Faults faults;
        int status;
    } cases[] = {
        {"wait refused",
         [] {
             fake::Faults f;
             f.wait_refused_at = 2;
             return f;
         }(),
         TESTER_E_PORT},
        {"read refused",
         [] {
             fake::Faults f;
             f.read_refused_at = 2;
             return f;
         }(),
         TESTER_E_NO_DATA},
        {"index never leaves",
         [] {
             fake::Faults f;
             f.write_stalls_at = 1;
             return f;
         }(),
         TESTER_E_TIMEOUT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        start(word_in_pieces(0x91, {{0x12, 0x34}, {0x56, 0x05}}, 5), c.faults);
        unsigned long word = 1;
        EXPECT_EQ(Get_ArincWordSO(port, 0x07, &word), c.status);
        EXPECT_EQ(word, 1ul);
        expect_clean();
    }
}

TEST_F(SerialFake, TimerTakesItsTwoBytesHoweverTheyCome)
{
    const std::vector<std::vector<fake::Chunk>> ways = {
        {{1, {0x07, 0x00, 0x5A}}},
        {{1, {0x07, 0x00}}, {900, {0x5A}}},
        {echo(0x07), {900, {0x00, 0x5A}}},
        {echo(0x07), {900, {0x00}}, {2900, {0x5A}}},
        {{1, {0x07, 0x00, 0x5A, 0x99, 0x98}}},  // surplus after the timer bytes
    };
    for (const auto &chunks : ways) {
        start(fake::answer(0x07, chunks));
        unsigned long value = 0;
        EXPECT_EQ(RD_Timer(port, &value), TESTER_OK);
        EXPECT_EQ(value, 23040ul);
        expect_clean();
    }
    start(fake::answer(0x07, {{1, {0x07, 0xFF, 0xFF}}}));
    unsigned long value = 0;
    EXPECT_EQ(RD_Timer(port, &value), TESTER_OK);
    EXPECT_EQ(value, 0xFFFF00ul);
}

TEST_F(SerialFake, TimerTimeLimitsDependOnWhatCameWithTheEcho)
{
    const struct {
        const char *name;
        std::vector<fake::Chunk> chunks;
        DWORD elapsed;
    } cases[] = {
        {"first byte with the echo, second never", {{1, {0x07, 0x00}}}, 1 + 1500},
        {"echo alone, one byte, then nothing", {echo(0x07), {100, {0x00}}}, 100 + 3000},
        {"echo alone, nothing", {echo(0x07)}, 1 + 3000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        start(fake::answer(0x07, c.chunks));
        unsigned long value = 3;
        EXPECT_EQ(RD_Timer(port, &value), TESTER_E_TIMEOUT);
        EXPECT_EQ(value, 3ul);
        EXPECT_EQ(elapsed(), c.elapsed);
        expect_clean();
    }
}

}  // namespace
