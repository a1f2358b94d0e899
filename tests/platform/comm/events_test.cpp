// WaitCommEvent: events as they happen, events remembered while no wait is
// pending, the mask ending a wait, and the refusals; the thread that waits
// reading the line itself.
#include <dirent.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "comm_fixture.h"

namespace {

class Events : public commtest::PortTest {
protected:
    // Starts a wait; true if it completed at once.
    bool StartWait(OVERLAPPED& record) {
        record = Record();
        if (WaitCommEvent(m_port, &m_bits, &record)) return true;
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
        return false;
    }
    DWORD m_bits = 0xFFFFFFFF;
};

TEST_F(Events, ArrivingCharacterCompletesAPendingWait) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR | EV_BREAK | EV_ERR));
    OVERLAPPED record;
    ASSERT_FALSE(StartWait(record));
    EXPECT_EQ(WaitForSingleObject(m_event, 30), WAIT_TIMEOUT);
    m_pty.Send("A");
    ASSERT_EQ(WaitForSingleObject(m_event, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(m_bits, EV_RXCHAR);
    DWORD unused;
    EXPECT_TRUE(GetOverlappedResult(m_port, &record, &unused, FALSE));
}

// How often the device's driver thread has gone to sleep so far.
long DriverSleeps() {
    DIR* tasks = opendir("/proc/self/task");
    long sleeps = -1;
    while (dirent* task = tasks ? readdir(tasks) : nullptr) {
        const std::string dir = std::string("/proc/self/task/") + task->d_name;
        std::string name;
        std::getline(std::ifstream(dir + "/comm"), name);
        if (name != "zandrel-line") continue;
        std::ifstream status(dir + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) sleeps = std::stol(line.substr(24));
    }
    if (tasks) closedir(tasks);
    return sleeps;
}

// A packet after a quiet line wakes the thread waiting for it, which reads
// it itself: the driver thread sleeps on.
TEST_F(Events, APacketAfterAQuietLineIsReadByTheWaitingThreadAlone) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    SetReadTimeouts(MAXDWORD, 0, 0);  // reads return what has come
    long before = DriverSleeps();
    for (int tries = 0; before < 0 && tries < 200; ++tries) {  // the driver names itself as it starts
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        before = DriverSleeps();
    }
    ASSERT_GE(before, 0);
    for (int packet = 0; packet < 20; ++packet) {
        OVERLAPPED record;
        ASSERT_FALSE(StartWait(record));
        std::thread sender([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            m_pty.Send("packet");
        });
        EXPECT_EQ(WaitForSingleObject(m_event, 2000), WAIT_OBJECT_0);
        sender.join();
        EXPECT_EQ(m_bits, EV_RXCHAR);
        char received[16];
        DWORD count = 0;
        OVERLAPPED read = Record();
        ASSERT_TRUE(ReadFile(m_port, received, sizeof received, &count, &read));
        EXPECT_EQ(std::string(received, count), "packet");
    }
    EXPECT_LT(DriverSleeps() - before, 5);
}

// A thread lent the line that is not asleep in a wait (a worker's gather)
// leaves input to the driver: a stream then a hang-up, every byte kept.
TEST_F(Events, InputWhileTheLentThreadIsAwakeIsTakenOutOfTheKernel) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    OVERLAPPED record;
    ASSERT_FALSE(StartWait(record));
    m_pty.Send("!");
    ASSERT_EQ(WaitForSingleObject(m_event, 2000), WAIT_OBJECT_0);  // this thread is lent the line
    ASSERT_EQ(ReceiveAll(), "!");
    ASSERT_FALSE(StartWait(record));  // pending, and nobody sleeps on it
    const std::string sent = SendStreamAndHangUp();
    EXPECT_EQ(ReceiveAll(), sent);
}

// The close ends a wait that watches the line, and waits for it to let go.
TEST_F(Events, ClosingThePortEndsAWaitThatWatchesItsLine) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    std::thread waiter([this] {
        OVERLAPPED record;
        ASSERT_FALSE(StartWait(record));
        EXPECT_EQ(WaitForSingleObject(m_event, 5000), WAIT_OBJECT_0);
        EXPECT_EQ(record.Internal, ERROR_OPERATION_ABORTED);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(CloseHandle(m_port));
    m_port = INVALID_HANDLE_VALUE;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    waiter.join();
}

TEST_F(Events, EventsWhileNoWaitIsPendingCompleteTheNextWaitAtOnce) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    m_pty.Send("B");
    Sleep(50);
    OVERLAPPED record;
    EXPECT_TRUE(StartWait(record));
    EXPECT_EQ(m_bits, EV_RXCHAR);
    EXPECT_EQ(WaitForSingleObject(m_event, 0), WAIT_OBJECT_0);
    // Taken: the next wait pends.
    EXPECT_FALSE(StartWait(record));
    CancelIo(m_port);
}

// After it has read data, the driver leaves what follows in the kernel while
// nobody waits for it; it has arrived all the same.
TEST_F(Events, DataFollowingATakenEventCompletesTheNextWaitAtOnceAndIsCounted) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    m_pty.Send("A");
    OVERLAPPED record;
    if (!StartWait(record)) {
        ASSERT_EQ(WaitForSingleObject(m_event, 2000), WAIT_OBJECT_0);
    }
    m_pty.Send("B");
    Sleep(5);
    COMSTAT status{};
    ASSERT_TRUE(ClearCommError(m_port, nullptr, &status));
    EXPECT_EQ(status.cbInQue, 2u);
    m_bits = 0;
    EXPECT_TRUE(StartWait(record));
    EXPECT_EQ(m_bits, EV_RXCHAR);
    CancelIo(m_port);
}

TEST_F(Events, CharactersArrivingBeforeTheFirstMaskIsSetCompleteTheFirstWait) {
    m_pty.Send("early");
    Sleep(50);
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR | EV_BREAK | EV_ERR));
    DWORD bits = 0;
    OVERLAPPED record = Record();
    EXPECT_TRUE(WaitCommEvent(m_port, &bits, &record));
    EXPECT_EQ(bits, EV_RXCHAR);
}

TEST_F(Events, OnlyEventsInTheMaskAreRemembered) {
    ASSERT_TRUE(SetCommMask(m_port, EV_BREAK));
    m_pty.Send("C");
    Sleep(50);
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR | EV_TXEMPTY));
    OVERLAPPED record;
    EXPECT_FALSE(StartWait(record)) << "not in the mask when it happened";
    CancelIo(m_port);

    m_pty.Send("D");
    Sleep(50);
    ASSERT_TRUE(SetCommMask(m_port, EV_TXEMPTY));
    EXPECT_FALSE(StartWait(record)) << "remembered, then masked out";
    CancelIo(m_port);
}

TEST_F(Events, SetCommMaskEndsAPendingWaitWithNoBits) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    OVERLAPPED record;
    ASSERT_FALSE(StartWait(record));
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR | EV_ERR));
    ASSERT_EQ(WaitForSingleObject(m_event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(m_bits, 0u);
    DWORD unused;
    EXPECT_TRUE(GetOverlappedResult(m_port, &record, &unused, FALSE));
}

TEST_F(Events, SecondWaitOrEmptyMaskIsInvalid) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    OVERLAPPED record;
    ASSERT_FALSE(StartWait(record));
    OVERLAPPED second = Record();
    DWORD bits = 0;
    EXPECT_FALSE(WaitCommEvent(m_port, &bits, &second));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CancelIo(m_port);
    EXPECT_EQ(m_bits, 0u);

    ASSERT_TRUE(SetCommMask(m_port, 0));
    EXPECT_FALSE(WaitCommEvent(m_port, &bits, &second));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetCommMask(m_port, 0x10000));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Events, EventCharacterRaisesRxFlag) {
    DCB dcb{};
    ASSERT_TRUE(GetCommState(m_port, &dcb));
    dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(m_port, &dcb));
    ASSERT_TRUE(SetCommMask(m_port, EV_RXFLAG));
    m_pty.Send("no flag");
    Sleep(50);
    OVERLAPPED record;
    ASSERT_FALSE(StartWait(record));
    m_pty.Send("line\n");
    ASSERT_EQ(WaitForSingleObject(m_event, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(m_bits, EV_RXFLAG);
}

TEST_F(Events, CompletedWriteRaisesTxEmpty) {
    ASSERT_TRUE(SetCommMask(m_port, EV_TXEMPTY));
    OVERLAPPED record;
    ASSERT_FALSE(StartWait(record));
    OVERLAPPED write = Record();
    write.hEvent = nullptr;
    DWORD count = 0;
    EXPECT_TRUE(WriteFile(m_port, "z", 1, &count, &write));
    ASSERT_EQ(WaitForSingleObject(m_event, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(m_bits, EV_TXEMPTY);
}

TEST_F(Events, WaitOnAnotherThreadSeesDataWhileThisThreadReads) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    SetReadTimeouts(MAXDWORD, 0, 0);
    HANDLE waitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD bits = 0;
    std::thread watcher([&] {
        OVERLAPPED record{};
        record.hEvent = waitEvent;
        if (!WaitCommEvent(m_port, &bits, &record)) WaitForSingleObject(waitEvent, INFINITE);
    });
    Sleep(20);
    m_pty.Send("data");
    watcher.join();
    EXPECT_EQ(bits, EV_RXCHAR);
    char buffer[16];
    DWORD count = 0;
    OVERLAPPED read = Record();
    for (int i = 0; i < 100 && count == 0; ++i) {
        ReadFile(m_port, buffer, sizeof buffer, &count, &read);
        if (count == 0) Sleep(5);
    }
    EXPECT_EQ(std::string(buffer, count), "data");
    CloseHandle(waitEvent);
}

}  // namespace
