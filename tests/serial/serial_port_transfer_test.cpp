// Writes, reads and event waits, synchronous and asynchronous, against the
// master side of a pseudo-terminal.
#include <chrono>
#include <string>
#include <thread>

#include "port_probes.h"
#include "support/pty.h"

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// A caller's record with its own manual-reset event.
class CallerRecord {
public:
    CallerRecord() { m_overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~CallerRecord() { CloseHandle(m_overlapped.hEvent); }
    CallerRecord(const CallerRecord&) = delete;
    CallerRecord& operator=(const CallerRecord&) = delete;

    LPOVERLAPPED get() { return &m_overlapped; }
    bool Signalled(DWORD dwTimeoutMs) const { return WaitForSingleObject(m_overlapped.hEvent, dwTimeoutMs) == WAIT_OBJECT_0; }

private:
    OVERLAPPED m_overlapped{};
};

class SerialPortTransfer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(m_port.Open(m_pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0); }

    // Waits, as the program does, for received characters to be announced.
    void AwaitReceived() {
        ASSERT_EQ(m_port.WaitForEvent(nullptr, 2000), 0);
        ASSERT_EQ(m_port.TakeEventType(), EV_RXCHAR);
    }

    std::string ReadAvailable(DWORD dwLength = 500) {
        std::string buffer(dwLength, '\0');
        DWORD dwRead = 0;
        EXPECT_EQ(m_port.Read(buffer.data(), dwLength, &dwRead, nullptr, INFINITE), 0);
        buffer.resize(dwRead);
        return buffer;
    }

    testsupport::Pty m_pty;
    ProbedPort m_port;
};

TEST_F(SerialPortTransfer, SynchronousWritesReportTheFullCount) {
    DWORD dwWritten = 0;
    EXPECT_EQ(m_port.Write("hello", 5, &dwWritten, nullptr, INFINITE), 0);
    EXPECT_EQ(dwWritten, 5u);
    // Without a count pointer the call keeps its own.
    EXPECT_EQ(m_port.Write("xy", 2, nullptr, nullptr, INFINITE), 0);

    // A string goes without its terminator; an empty one writes nothing.
    dwWritten = 99;
    EXPECT_EQ(m_port.WriteString("", &dwWritten, nullptr, INFINITE), 0);
    EXPECT_EQ(dwWritten, 0u);
    EXPECT_EQ(m_port.WriteString("ab", &dwWritten, nullptr, INFINITE), 0);
    EXPECT_EQ(dwWritten, 2u);
    EXPECT_EQ(m_pty.ReceiveFor(200), "helloxyab");
}

TEST_F(SerialPortTransfer, NonBlockingReadReturnsAtOnceWithWhatHasArrived) {
    const auto start = Clock::now();
    EXPECT_EQ(ReadAvailable(), "");
    EXPECT_LT(MillisecondsSince(start), 100);

    m_pty.Send("abc");
    AwaitReceived();
    EXPECT_EQ(ReadAvailable(), "abc");
}

TEST_F(SerialPortTransfer, BlockingReadTimesOutCancelledAndThePortGoesOn) {
    ASSERT_EQ(m_port.SetReadTimeoutMode(CSerialPort::ReadBlocking), 0);
    char buffer[3];
    DWORD dwRead = 99;
    const auto start = Clock::now();
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &dwRead, nullptr, 100), static_cast<LONG>(ERROR_TIMEOUT));
    const long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 95);
    EXPECT_LT(elapsed, 1000);
    EXPECT_EQ(dwRead, 0u);
    EXPECT_EQ(m_port.GetLastError(), static_cast<LONG>(ERROR_TIMEOUT));

    // The cancelled read takes none of what arrives later.
    m_pty.Send("xyz");
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &dwRead, nullptr, 2000), 0);
    EXPECT_EQ(std::string(buffer, dwRead), "xyz");
}

TEST_F(SerialPortTransfer, SynchronousWaitTimesOutCancelledAndTheNextWaitWorks) {
    EXPECT_EQ(m_port.WaitForEvent(nullptr, 0), static_cast<LONG>(ERROR_TIMEOUT));
    EXPECT_EQ(m_port.TakeEventType(), 0u);  // the cancelled wait recorded no event

    // Were the first wait still pending, this one would be refused.
    m_pty.Send("w");
    EXPECT_EQ(m_port.WaitForEvent(nullptr, 2000), 0);
    EXPECT_EQ(m_port.TakeEventType(), EV_RXCHAR);
}

TEST_F(SerialPortTransfer, AsynchronousWriteLeftPendingReturnsZeroAndSignalsOnCompletion) {
    // More than the pseudo-terminal buffers, so the write cannot complete at once.
    const std::string data(256 * 1024, 'q');
    CallerRecord record;
    DWORD dwWritten = 0;
    EXPECT_EQ(m_port.Write(data.data(), static_cast<DWORD>(data.size()), &dwWritten, record.get(), 0), 0);
    EXPECT_EQ(m_port.GetLastError(), 0);
    EXPECT_FALSE(record.Signalled(0));

    EXPECT_EQ(m_pty.Receive(data.size(), 10000).size(), data.size());
    ASSERT_TRUE(record.Signalled(5000));
    DWORD dwTransferred = 0;
    EXPECT_TRUE(GetOverlappedResult(m_port.m_hComm, record.get(), &dwTransferred, FALSE));
    EXPECT_EQ(dwTransferred, data.size());
}

TEST_F(SerialPortTransfer, AsynchronousReadSignalsTheCallersEvent) {
    m_pty.Send("abc");
    AwaitReceived();

    CallerRecord record;
    char buffer[16];
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, nullptr, record.get(), 0), 0);
    ASSERT_TRUE(record.Signalled(2000));
    DWORD dwRead = 0;
    EXPECT_TRUE(GetOverlappedResult(m_port.m_hComm, record.get(), &dwRead, FALSE));
    EXPECT_EQ(std::string(buffer, dwRead), "abc");
}

TEST_F(SerialPortTransfer, AsynchronousWaitSignalsWhenACharacterArrives) {
    CallerRecord record;
    EXPECT_EQ(m_port.WaitForEvent(record.get(), INFINITE), 0);
    EXPECT_EQ(m_port.GetLastError(), 0);
    EXPECT_FALSE(record.Signalled(50));

    m_pty.Send("!");
    ASSERT_TRUE(record.Signalled(2000));
    EXPECT_EQ(m_port.TakeEventType(), EV_RXCHAR);
    EXPECT_EQ(m_port.TakeEventType(), 0xFFFFFFFFu);
}

TEST_F(SerialPortTransfer, TakeEventTypeLeavesTheLastErrorAlone) {
    m_pty.Send("e");
    ASSERT_EQ(m_port.WaitForEvent(nullptr, 2000), 0);
    EXPECT_EQ(m_port.SetHandshake(7), E_INVALIDARG);
    EXPECT_EQ(m_port.TakeEventType(), EV_RXCHAR);
    EXPECT_EQ(m_port.GetLastError(), E_INVALIDARG);

    m_port.Close();
    EXPECT_EQ(m_port.SetEventMask(EV_RXCHAR), static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(m_port.TakeEventType(), 0xFFFFFFFFu);
    EXPECT_EQ(m_port.GetLastError(), static_cast<LONG>(ERROR_INVALID_HANDLE));
}

TEST_F(SerialPortTransfer, CharactersArrivingWithoutAPendingWaitCompleteTheNextWaitAtOnce) {
    m_pty.Send("early");
    // Let the far end's bytes reach the port while nothing waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(m_port.WaitForEvent(nullptr, 0), 0);
    EXPECT_EQ(m_port.TakeEventType(), EV_RXCHAR);
    EXPECT_EQ(ReadAvailable(), "early");
}

TEST_F(SerialPortTransfer, MaskChangeEndsAPendingWaitWithNoBits) {
    CallerRecord record;
    ASSERT_EQ(m_port.WaitForEvent(record.get(), INFINITE), 0);
    EXPECT_FALSE(record.Signalled(50));
    EXPECT_EQ(m_port.SetEventMask(EV_RXCHAR | EV_BREAK | EV_ERR), 0);
    ASSERT_TRUE(record.Signalled(2000));
    EXPECT_EQ(m_port.TakeEventType(), 0u);
}

TEST_F(SerialPortTransfer, FlowControlBytesPassThroughUntouched) {
    const std::string control = "\x11" "a\x13" "b";
    m_pty.Send(control);
    AwaitReceived();
    std::string received = ReadAvailable();
    while (received.size() < control.size()) {
        AwaitReceived();
        received += ReadAvailable();
    }
    EXPECT_EQ(received, control);

    EXPECT_EQ(m_port.WriteString(control.c_str(), nullptr, nullptr, INFINITE), 0);
    EXPECT_EQ(m_pty.Receive(control.size()), control);
}

}  // namespace
