// ReadFile / WriteFile / GetOverlappedResult / CancelIo / ClearCommError on a pty.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "port_fixture.h"
#include "win32_comm.h"

namespace {

using PlatformFileIo = PortTest;

// More than a pty takes in at once, so the write has to wait for the box.
std::vector<unsigned char> large_pattern()
{
    std::vector<unsigned char> bytes(512 * 1024);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    return bytes;
}

TEST_F(PlatformFileIo, ReadReturnsAtOnceWithWhatIsQueuedAndNoMoreThanAsked)
{
    unsigned char buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    DWORD got = 0xDEAD;
    ASSERT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, &read_op));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(read_op.Internal, ERROR_SUCCESS);
    EXPECT_EQ(read_op.InternalHigh, 0u);
    EXPECT_TRUE(is_signalled(read_op.hEvent));

    box.send({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    await_queued(10);
    ASSERT_TRUE(ReadFile(port, buffer, 4, &got, &read_op));
    ASSERT_EQ(got, 4u);
    EXPECT_EQ(read_op.InternalHigh, 4u);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 5),
              (std::vector<unsigned char>{0, 1, 2, 3, 0xEE}));
    ASSERT_TRUE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    ASSERT_EQ(got, 6u);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 7),
              (std::vector<unsigned char>{4, 5, 6, 7, 8, 9, 0xEE}));
}

TEST_F(PlatformFileIo, WriteOnAPtyCompletesAtOnce)
{
    const unsigned char bytes[5] = {0x30, 0x80, 0x81, 0xE0, 0xE1};
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, bytes, sizeof bytes, &written, &write_op));
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(write_op.Internal, ERROR_SUCCESS);
    EXPECT_EQ(write_op.InternalHigh, 5u);
    EXPECT_TRUE(is_signalled(write_op.hEvent));
    EXPECT_EQ(box.receive(), std::vector<unsigned char>(bytes, bytes + 5));

    DWORD transferred = 0;
    EXPECT_TRUE(GetOverlappedResult(port, &write_op, &transferred, FALSE));
    EXPECT_EQ(transferred, 5u);
}

TEST_F(PlatformFileIo, CompletedWritesStillReachTheBoxAfterClose)
{
    const unsigned char bytes[2] = {0x81, 0x80};
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, bytes, sizeof bytes, &written, &write_op));
    close_port();
    EXPECT_EQ(box.receive(), std::vector<unsigned char>(bytes, bytes + 2));
}

TEST_F(PlatformFileIo, WritesWaitForTheBoxAndCompleteInOrder)
{
    const std::vector<unsigned char> large = large_pattern();
    const unsigned char tail[3] = {0xA1, 0xA2, 0xA3};
    DWORD written = 0;
    ASSERT_FALSE(
        WriteFile(port, large.data(), static_cast<DWORD>(large.size()), &written, &write_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(write_op.Internal, STATUS_PENDING);
    ASSERT_FALSE(WriteFile(port, tail, sizeof tail, &written, &read_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    DWORD transferred = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &write_op, &transferred, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(port, nullptr, &stat));
    EXPECT_GT(stat.cbOutQue, 0u);

    std::vector<unsigned char> received;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!HasOverlappedIoCompleted(&read_op) && std::chrono::steady_clock::now() < give_up) {
        const std::vector<unsigned char> chunk = box.receive(10);
        received.insert(received.end(), chunk.begin(), chunk.end());
        WaitForSingleObject(write_op.hEvent, 1);
        // The tail is never done before the write ahead of it.
        if (HasOverlappedIoCompleted(&read_op)) {
            EXPECT_TRUE(HasOverlappedIoCompleted(&write_op));
        }
    }
    const std::vector<unsigned char> rest = box.receive(10);
    received.insert(received.end(), rest.begin(), rest.end());

    ASSERT_TRUE(GetOverlappedResult(port, &write_op, &transferred, FALSE));
    EXPECT_EQ(transferred, large.size());
    ASSERT_TRUE(GetOverlappedResult(port, &read_op, &transferred, FALSE));
    EXPECT_EQ(transferred, 3u);
    std::vector<unsigned char> expected = large;
    expected.insert(expected.end(), tail, tail + 3);
    EXPECT_TRUE(received == expected) << "received " << received.size() << " bytes";
}

TEST_F(PlatformFileIo, GetOverlappedResultWaitsForTheWrite)
{
    const std::vector<unsigned char> large = large_pattern();
    DWORD written = 0;
    ASSERT_FALSE(
        WriteFile(port, large.data(), static_cast<DWORD>(large.size()), &written, &write_op));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    std::size_t received = 0;
    std::thread reader([&] {
        while (received < large.size()) {
            const std::size_t got = box.receive(2000).size();
            if (got == 0) break;
            received += got;
        }
    });
    DWORD transferred = 0;
    const BOOL done = GetOverlappedResult(port, &write_op, &transferred, TRUE);
    reader.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(transferred, large.size());
    EXPECT_EQ(received, large.size());
}

TEST_F(PlatformFileIo, CancelIoAbortsWhatIsPendingAndKeepsWhatWasSent)
{
    const std::vector<unsigned char> large = large_pattern();
    DWORD written = 0;
    ASSERT_FALSE(
        WriteFile(port, large.data(), static_cast<DWORD>(large.size()), &written, &write_op));
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    DWORD events = 0xDEAD;
    ASSERT_FALSE(WaitCommEvent(port, &events, &wait_op));

    ASSERT_TRUE(CancelIo(port));
    EXPECT_EQ(write_op.Internal, ERROR_OPERATION_ABORTED);
    EXPECT_EQ(wait_op.Internal, ERROR_OPERATION_ABORTED);
    EXPECT_TRUE(is_signalled(write_op.hEvent));
    EXPECT_TRUE(is_signalled(wait_op.hEvent));
    DWORD transferred = 0;
    EXPECT_FALSE(GetOverlappedResult(port, &write_op, &transferred, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);

    // The bytes handed out before the cancel still reach the box, and no others.
    const std::size_t handed = write_op.InternalHigh;
    EXPECT_GT(handed, 0u);
    EXPECT_LT(handed, large.size());
    std::vector<unsigned char> received;
    for (std::vector<unsigned char> chunk = box.receive(); !chunk.empty(); chunk = box.receive()) {
        received.insert(received.end(), chunk.begin(), chunk.end());
    }
    EXPECT_TRUE(received == std::vector<unsigned char>(large.begin(), large.begin() + handed))
        << "received " << received.size() << " of " << handed;
}

TEST_F(PlatformFileIo, ReusedRecordNoLongerHearsFromTheOlderWrite)
{
    const std::vector<unsigned char> large = large_pattern();
    DWORD written = 0;
    ASSERT_FALSE(
        WriteFile(port, large.data(), static_cast<DWORD>(large.size()), &written, &write_op));
    box.send({0x55});
    await_queued(1);
    unsigned char byte = 0;
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(port, &byte, 1, &got, &write_op));
    ASSERT_EQ(write_op.InternalHigh, 1u);

    // Let the large write finish: it reports to no record now.
    COMSTAT stat{};
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    do {
        box.receive(10);
        ASSERT_TRUE(ClearCommError(port, nullptr, &stat));
    } while (stat.cbOutQue > 0 && std::chrono::steady_clock::now() < give_up);
    EXPECT_EQ(stat.cbOutQue, 0u);
    EXPECT_EQ(write_op.Internal, ERROR_SUCCESS);
    EXPECT_EQ(write_op.InternalHigh, 1u);
}

TEST_F(PlatformFileIo, QueueSizesAreReported)
{
    box.send({1, 2, 3});
    await_queued(3);
    DWORD errors = 0xDEAD;
    COMSTAT stat{};
    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue, 3u);
    EXPECT_EQ(stat.cbOutQue, 0u);
}

TEST_F(PlatformFileIo, RefusesMissingArguments)
{
    const unsigned char byte = 0;
    DWORD count = 0;
    EXPECT_FALSE(WriteFile(port, &byte, 1, &count, nullptr));  // the port is overlapped
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(WriteFile(port, nullptr, 1, &count, &write_op));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReadFile(port, nullptr, 1, &count, &read_op));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(GetOverlappedResult(port, nullptr, &count, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // A record that runs nowhere on this port would never complete.
    OVERLAPPED stray{};
    stray.Internal = STATUS_PENDING;
    EXPECT_FALSE(GetOverlappedResult(port, &stray, &count, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
