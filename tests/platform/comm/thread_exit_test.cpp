// I/O left pending by a thread that ends is aborted before the thread's handle
// is signalled, and nothing is written into that thread's records any more:
// its frames are gone, and its exit path may be using the same stack.
#include <string>
#include <thread>

#include "comm_fixture.h"

namespace {

struct Pending {
    HANDLE port;
    OVERLAPPED record{};
    DWORD bits = 0xFFFFFFFF;
    char buffer[8] = {};
};

DWORD LeaveAWaitAndARead(LPVOID parameter) {
    auto* pending = static_cast<Pending*>(parameter);
    WaitCommEvent(pending->port, &pending->bits, &pending->record);
    return GetLastError();
}

class ThreadExit : public commtest::PortTest {};

TEST_F(ThreadExit, WaitLeftByAThreadIsAbortedBeforeItsHandleIsSignalledWithoutTouchingItsRecords) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    Pending pending{m_port};
    pending.record.hEvent = m_event;
    HANDLE thread = CreateThread(nullptr, 0, LeaveAWaitAndARead, &pending, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 2000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, ERROR_IO_PENDING);
    EXPECT_EQ(pending.record.Internal, ERROR_IO_PENDING);
    EXPECT_EQ(pending.bits, 0xFFFFFFFFu);
    EXPECT_EQ(WaitForSingleObject(m_event, 0), WAIT_OBJECT_0);
    CloseHandle(thread);

    // The port goes on working for the next waiter.
    m_pty.Send("x");
    Sleep(30);
    DWORD bits = 0;
    OVERLAPPED record = Record();
    EXPECT_TRUE(WaitCommEvent(m_port, &bits, &record));
    EXPECT_EQ(bits, EV_RXCHAR);
}

TEST_F(ThreadExit, ReadLeftByAnyThreadIsAbortedWhenItEndsAndNothingReachesItsRecords) {
    COMMTIMEOUTS blocking{0, 0, 0, 0, 0};
    SetCommTimeouts(m_port, &blocking);
    Pending pending{m_port};
    pending.record.hEvent = m_event;
    std::thread reader([&] { ReadFile(m_port, pending.buffer, sizeof pending.buffer, nullptr, &pending.record); });
    reader.join();
    EXPECT_EQ(WaitForSingleObject(m_event, 0), WAIT_OBJECT_0);
    m_pty.Send("after");
    Sleep(30);
    EXPECT_EQ(pending.record.Internal, ERROR_IO_PENDING);
    EXPECT_EQ(std::string(pending.buffer, sizeof pending.buffer), std::string(sizeof pending.buffer, '\0'));
}

}  // namespace
