// Reads and writes on a pty: raw bytes both ways, COMMTIMEOUTS, overlapped
// completion and results.
#include <chrono>
#include <string>
#include <thread>

#include "comm_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Transfers : public commtest::PortTest {};

TEST_F(Transfers, ControlBytesPassUntouchedBothWays) {
    const std::string bytes("\x11\x13\r\n\x03\x1a\x7f\xff\x00 end", 13);
    Send(bytes);
    EXPECT_EQ(m_pty.Receive(bytes.size()), bytes);

    SetReadTimeouts(0, 0, 2000);
    m_pty.Send(bytes);
    EXPECT_EQ(Receive(static_cast<DWORD>(bytes.size())), bytes);
}

TEST_F(Transfers, NonBlockingReadReturnsAtOnceWithWhatIsThere) {
    SetReadTimeouts(MAXDWORD, 0, 0);
    char buffer[500];
    DWORD count = 99;
    OVERLAPPED record = Record();
    EXPECT_TRUE(ReadFile(m_port, buffer, sizeof buffer, &count, &record));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(WaitForSingleObject(m_event, 0), WAIT_OBJECT_0);

    m_pty.Send("abc");
    COMSTAT status{};
    for (int i = 0; i < 200 && status.cbInQue < 3; ++i) {
        ClearCommError(m_port, nullptr, &status);
        Sleep(2);
    }
    ASSERT_EQ(status.cbInQue, 3u);
    EXPECT_TRUE(ReadFile(m_port, buffer, sizeof buffer, &count, &record));
    EXPECT_EQ(std::string(buffer, count), "abc");
}

TEST_F(Transfers, TotalTimeoutEndsAReadWithAShortCount) {
    SetReadTimeouts(0, 0, 150);
    m_pty.Send("xy");
    auto start = Clock::now();
    EXPECT_EQ(Receive(10), "xy");
    long long took = MsSince(start);
    EXPECT_GE(took, 140);
    EXPECT_LT(took, 1000);
}

TEST_F(Transfers, IntervalTimeoutEndsAReadAfterAGapInTheData) {
    SetReadTimeouts(60, 0, 0);
    std::thread far([this] {
        m_pty.Send("ab");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        m_pty.Send("c");
    });
    auto start = Clock::now();
    EXPECT_EQ(Receive(10), "abc");
    EXPECT_LT(MsSince(start), 1000);
    far.join();
}

TEST_F(Transfers, ZeroTimeoutsWaitForTheFullCount) {
    SetReadTimeouts(0, 0, 0);
    std::thread far([this] {
        m_pty.Send("12");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_pty.Send("345");
    });
    EXPECT_EQ(Receive(5), "12345");
    far.join();
}

TEST_F(Transfers, PendingReadReportsThroughTheRecordOnly) {
    SetReadTimeouts(0, 0, 0);
    char buffer[4];
    DWORD count = 0xDEAD;
    OVERLAPPED record = Record();
    SetEvent(m_event);  // left over from before: must not end the new wait early
    ASSERT_FALSE(ReadFile(m_port, buffer, sizeof buffer, &count, &record));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(m_event, 0), WAIT_TIMEOUT);
    DWORD result = 0;
    EXPECT_FALSE(GetOverlappedResult(m_port, &record, &result, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);

    m_pty.Send("wxyz");
    EXPECT_EQ(WaitForSingleObject(m_event, 2000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetOverlappedResult(m_port, &record, &result, FALSE));
    EXPECT_EQ(result, 4u);
    EXPECT_EQ(record.InternalHigh, 4u);
    EXPECT_EQ(std::string(buffer, 4), "wxyz");
    // The count variable of a call that went pending may belong to a frame
    // that has returned: it is never written later.
    EXPECT_EQ(count, 0xDEADu);
}

TEST_F(Transfers, CancelIoAbortsThisThreadsPendingRead) {
    SetReadTimeouts(0, 0, 0);
    char buffer[8];
    OVERLAPPED record = Record();
    ASSERT_FALSE(ReadFile(m_port, buffer, sizeof buffer, nullptr, &record));
    EXPECT_TRUE(CancelIo(m_port));
    // Completed by the time CancelIo returns.
    EXPECT_EQ(WaitForSingleObject(m_event, 0), WAIT_OBJECT_0);
    DWORD count = 1;
    EXPECT_FALSE(GetOverlappedResult(m_port, &record, &count, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(count, 0u);

    // Bytes that arrive later are queued for the next read, not lost.
    m_pty.Send("late");
    SetReadTimeouts(0, 0, 2000);
    EXPECT_EQ(Receive(4), "late");
}

TEST_F(Transfers, CancelIoLeavesOtherThreadsOperationsAlone) {
    SetReadTimeouts(0, 0, 0);
    char buffer[2];
    OVERLAPPED record = Record();
    ASSERT_FALSE(ReadFile(m_port, buffer, sizeof buffer, nullptr, &record));
    std::thread other([this] { EXPECT_TRUE(CancelIo(m_port)); });
    other.join();
    EXPECT_EQ(WaitForSingleObject(m_event, 50), WAIT_TIMEOUT);
    m_pty.Send("ok");
    DWORD count = 0;
    EXPECT_TRUE(GetOverlappedResult(m_port, &record, &count, TRUE));
    EXPECT_EQ(std::string(buffer, count), "ok");
}

// The bytes queued, once the driver has taken in all it will within a moment.
DWORD QueuedAfterAMoment(HANDLE port) {
    DWORD errors = 0;
    COMSTAT status{};
    for (int tries = 0; tries < 20; ++tries) {
        Sleep(10);
        ClearCommError(port, &errors, &status);
    }
    return status.cbInQue;
}

// What a full queue has no room for waits in the kernel, not dropped. A
// reader behind the line, reading short pieces, does not wake the driver for
// a short read of the line at each of its reads: the driver reads again once
// half the queue (at most its long read) is free.
TEST_F(Transfers, AFullQueueHoldsBytesBackAndIsRefilledInLongReads) {
    ASSERT_TRUE(SetupComm(m_port, 16, 16));  // the queue only grows: stays at its default
    std::string sent;
    for (int i = 0; i < 256 * 1024; ++i) sent += static_cast<char>('a' + i % 26);
    std::thread far([&] { m_pty.Send(sent); });
    const DWORD capacity = QueuedAfterAMoment(m_port);  // full, and more waits in the kernel
    EXPECT_GE(capacity, 4096u);  // no ASSERT before the far end is joined
    EXPECT_LT(capacity, sent.size() / 2);

    SetReadTimeouts(MAXDWORD, 0, 0);
    std::string got = Receive(1000);
    EXPECT_EQ(QueuedAfterAMoment(m_port), capacity - 1000) << "a short read woke the driver";
    got += Receive(capacity / 2);
    EXPECT_EQ(QueuedAfterAMoment(m_port), capacity) << "room for a long read did not";

    SetReadTimeouts(0, 0, 3000);
    while (got.size() < sent.size()) {
        std::string part = Receive(4096);
        if (part.empty()) break;
        got += part;
    }
    far.join();
    EXPECT_TRUE(got == sent) << got.size() << " of " << sent.size();
    DWORD errors = 0;
    ClearCommError(m_port, &errors, nullptr);
    EXPECT_EQ(errors, 0u);
}

// A hang-up discards what the kernel still holds, so a stream that nobody
// waits for is taken into the port's queue as it comes, not left there.
TEST_F(Transfers, AStreamNobodyWaitsForOutlivesTheFarEndHangingUp) {
    const std::string sent = SendStreamAndHangUp();
    EXPECT_EQ(ReceiveAll(), sent);
}

TEST_F(Transfers, LargeWriteCompletesWhenTheFarEndDrains) {
    std::string big(100000, 'q');
    OVERLAPPED record = Record();
    BOOL atOnce = WriteFile(m_port, big.data(), static_cast<DWORD>(big.size()), nullptr, &record);
    ASSERT_FALSE(atOnce);  // more than a pty holds
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(m_pty.Receive(big.size(), 5000).size(), big.size());
    DWORD count = 0;
    EXPECT_TRUE(GetOverlappedResult(m_port, &record, &count, TRUE));
    EXPECT_EQ(count, big.size());
}

}  // namespace
