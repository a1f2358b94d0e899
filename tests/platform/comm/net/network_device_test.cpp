// A comm handle whose line is a port server across the network, on the
// stand-in server: its notifications are the events and errors a local port
// gives, its word to suspend holds output as an XOFF does, a server that
// stops reading holds the write without holding the close, and what it never
// acknowledged before a reset is told.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/comm/net/com_port_option.h"
#include "platform/kernel/background_close.h"
#include "platform/win32.h"
#include "support/rfc2217_stand_in.h"

namespace {

using namespace comm::net;

class NetworkDevice : public ::testing::Test {
protected:
    void Open(testsupport::Rfc2217StandIn& server) {
        setenv("ZANDREL_COM9", server.Address().c_str(), 1);
        m_port = CreateFileA("\\\\.\\COM9", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(m_port, INVALID_HANDLE_VALUE) << GetLastErrorText();
        DCB dcb{};
        ASSERT_TRUE(GetCommState(m_port, &dcb));
        dcb.BaudRate = 57600;
        ASSERT_TRUE(SetCommState(m_port, &dcb)) << GetLastErrorText();
        m_record.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        if (m_port != INVALID_HANDLE_VALUE) CloseHandle(m_port);
        if (m_record.hEvent) CloseHandle(m_record.hEvent);
        unsetenv("ZANDREL_COM9");
    }

    // Writes one byte: whether the write completed within the time.
    bool WriteCompletes(char byte, DWORD milliseconds) {
        DWORD count = 0;
        ResetEvent(m_record.hEvent);
        m_byte = byte;  // a pending write still reads it
        if (WriteFile(m_port, &m_byte, 1, &count, &m_record)) return true;
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
        return WaitForSingleObject(m_record.hEvent, milliseconds) == WAIT_OBJECT_0;
    }

    // Reads what the port holds, or what comes within 2 s; false once the
    // port has hung up and holds nothing more.
    bool ReadSome(std::string& into) {
        COMMTIMEOUTS timeouts{MAXDWORD, 0, MAXDWORD, 0, 0};
        timeouts.ReadTotalTimeoutConstant = 2000;
        EXPECT_TRUE(SetCommTimeouts(m_port, &timeouts));
        char buffer[1000];
        DWORD count = 0;
        ResetEvent(m_record.hEvent);
        if (!ReadFile(m_port, buffer, sizeof buffer, &count, &m_record) &&
            (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(m_port, &m_record, &count, TRUE)))
            return false;
        into.append(buffer, count);
        return true;
    }

    COMSTAT Status(DWORD& errors) {
        COMSTAT status{};
        EXPECT_TRUE(ClearCommError(m_port, &errors, &status));
        return status;
    }

    HANDLE m_port = INVALID_HANDLE_VALUE;
    OVERLAPPED m_record{};
    char m_byte = 0;
};

TEST_F(NetworkDevice, LineStateNotificationsAreTheEventsAndErrorsOfALocalPort) {
    testsupport::Rfc2217StandIn server;
    Open(server);
    struct Case {
        std::uint8_t state;
        DWORD events;
        DWORD errors;
    };
    for (const Case& told : {Case{kLineBreak, EV_BREAK, CE_BREAK}, Case{kLineFraming, EV_ERR, CE_FRAME},
                             Case{kLineParity, EV_ERR, CE_RXPARITY}, Case{kLineOverrun, EV_ERR, CE_OVERRUN}}) {
        ASSERT_TRUE(SetCommMask(m_port, EV_BREAK | EV_ERR));
        DWORD events = 0;
        ResetEvent(m_record.hEvent);
        if (!WaitCommEvent(m_port, &events, &m_record)) {
            ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
            server.Notify({106, told.state});
            ASSERT_EQ(WaitForSingleObject(m_record.hEvent, 10000), WAIT_OBJECT_0);
        }
        EXPECT_EQ(events, told.events) << int(told.state);
        DWORD errors = 0;
        Status(errors);
        EXPECT_EQ(errors, told.errors) << int(told.state);
    }
}

// The server resets the connection right after its data arrived, while the
// kernel still holds most of it: every byte is read before the port tells
// that it hung up, and the server is then looked for in the background.
TEST_F(NetworkDevice, AResetLeavesEveryByteThatArrivedToBeReadAndTheServerIsLookedForInTheBackground) {
    testsupport::Rfc2217StandIn server;
    Open(server);
    std::string sent(200000, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i % 251);  // no 0xFF
    std::thread sending([&] {
        server.SendData(sent);
        EXPECT_TRUE(server.Drop(true));
    });
    std::string received;
    // Slowly, so that the kernel holds much of it when the reset comes; a
    // read pending at the hang-up is aborted, the next one fails.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < until) {
        if (!ReadSome(received) && GetLastError() != ERROR_OPERATION_ABORTED) break;
        if (received.size() < sent.size()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    sending.join();
    ASSERT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
    char key[256], text[256];
    DWORD keySize = sizeof key, textSize = sizeof text;
    EXPECT_FALSE(GetCommDeviceIdentityA("COM9", key, &keySize, text, &textSize));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(NetworkDevice, TheDescriptionShowsTheServersSignatureMadeVisible) {
    testsupport::Rfc2217StandIn server;
    Open(server);
    char description[256];
    ASSERT_NE(DescribeCommDeviceA("COM9", description, sizeof description), 0u);
    EXPECT_EQ(std::string(description),
              "COM9 -> " + server.Address() + " through ZANDREL_COM9 (server: stand-in\\x1B[2J)");
}

TEST_F(NetworkDevice, SuspendHoldsTheWriteAsAnXoffAndResumeLetsItGo) {
    testsupport::Rfc2217StandIn server;
    Open(server);
    ASSERT_TRUE(WriteCompletes('a', 10000));
    ASSERT_EQ(server.Received(1), testsupport::Rfc2217StandIn::Bytes{'a'});
    // A break told after the suspend: once its event is here, so is the suspend.
    ASSERT_TRUE(SetCommMask(m_port, EV_BREAK));
    DWORD events = 0;
    ASSERT_FALSE(WaitCommEvent(m_port, &events, &m_record));
    server.Notify({108});
    server.Notify({106, kLineBreak});
    ASSERT_EQ(WaitForSingleObject(m_record.hEvent, 10000), WAIT_OBJECT_0);
    DWORD errors = 0;
    EXPECT_TRUE(Status(errors).fXoffHold);
    EXPECT_FALSE(WriteCompletes('b', 300));
    EXPECT_EQ(Status(errors).cbOutQue, 1u);
    server.Notify({109});
    ASSERT_EQ(WaitForSingleObject(m_record.hEvent, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(server.Received(2), (testsupport::Rfc2217StandIn::Bytes{'a', 'b'}));
    EXPECT_FALSE(Status(errors).fXoffHold);
}

TEST_F(NetworkDevice, AServerThatStopsReadingHoldsTheWriteAndTheCloseDoesNotWaitForIt) {
    testsupport::Rfc2217StandIn server(true);
    Open(server);
    server.StopReading();
    // Until the server's and this side's buffers are full, then held.
    bool held = false;
    for (int i = 0; i < 1 << 20 && !held; ++i) held = !WriteCompletes('x', 2000);
    ASSERT_TRUE(held);
    DWORD errors = 0;
    EXPECT_GT(Status(errors).cbOutQue, 0u);
    ASSERT_TRUE(CloseHandle(m_port));
    m_port = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(kernel::WaitForBackgroundCloses().empty()) << "the close still waits for the server";
}

// Written, then reset by a server that read none of it: the output queue of
// the hung-up port counts what the server never acknowledged.
TEST_F(NetworkDevice, AfterAResetTheOutputQueueCountsWhatTheServerNeverAcknowledged) {
    testsupport::Rfc2217StandIn server(true);
    Open(server);
    server.StopReading();
    DWORD written = 0;
    while (written < 1 << 20 && WriteCompletes('x', 2000)) ++written;
    ASSERT_TRUE(server.Drop(true));
    DWORD count = 0;
    EXPECT_FALSE(GetOverlappedResult(m_port, &m_record, &count, TRUE)) << "the held write outlived the reset";
    DWORD errors = 0;
    const DWORD lost = Status(errors).cbOutQue;
    EXPECT_GT(lost, 0u);
    EXPECT_LE(lost, written + 1);  // the one held is among them, and nothing else was written
}

}  // namespace
