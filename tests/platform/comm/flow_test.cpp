// Flow control on a pty: XON/XOFF taken out of the received data and holding
// output, XOFF/XON sent by the input queue's limits, and a pty's missing
// modem lines counting as on. The test's master side is the far end.
#include <string>
#include <thread>

#include "comm_fixture.h"

namespace {

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
constexpr DWORD kQueue = 65536;  // the input queue after the open

class Flow : public commtest::PortTest {
protected:
    void SetUp() override {
        PortTest::SetUp();
        ASSERT_TRUE(GetCommState(m_port, &m_start));
    }

    template <class Edit>
    void SetFlow(Edit edit) {
        DCB dcb = m_start;
        edit(dcb);
        ASSERT_TRUE(SetCommState(m_port, &dcb)) << GetLastError();
    }

    COMSTAT Status() {
        DWORD errors = 0;
        COMSTAT status{};
        EXPECT_TRUE(ClearCommError(m_port, &errors, &status));
        return status;
    }

    // Until the port holds `count` received bytes; false if they do not come.
    bool WaitQueued(DWORD count) {
        EXPECT_TRUE(SetCommMask(m_port, EV_RXCHAR));
        while (Status().cbInQue < count) {
            DWORD events = 0;
            OVERLAPPED record = Record();
            if (!WaitCommEvent(m_port, &events, &record) && GetLastError() == ERROR_IO_PENDING &&
                WaitForSingleObject(m_event, 5000) != WAIT_OBJECT_0) {
                CancelIo(m_port);
                return false;
            }
        }
        return true;
    }

    DCB m_start{};
};

struct FarEndCase {
    const char* name;
    bool outX;
    bool hardware;  // CTS and DSR flow, DTR and RTS handshake
    std::string sent;
    std::string read;
    bool held;
};

// What the far end sends decides whether the next write goes out; a held
// write is stopped at once.
TEST_F(Flow, FarEndXonXoffHoldOrReleaseOutputOnlyWithSoftwareHandshake) {
    const FarEndCase cases[] = {
        {"off: XOFF is data", false, false, "a\x13" "b", "a\x13" "b", false},
        {"XOFF holds", true, false, "a\x13" "b", "ab", true},
        {"XON releases", true, false, "a\x13\x11" "b", "ab", false},
        {"the last one counts", true, false, "\x11" "a\x13" "b", "ab", true},
        {"a pty counts as CTS and DSR on", false, true, "a", "a", false},
    };
    SetReadTimeouts(0, 0, 2000);
    for (const FarEndCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetFlow([&](DCB& dcb) {
            dcb.fOutX = c.outX;
            dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = c.hardware;
            dcb.fDtrControl = c.hardware ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
            dcb.fRtsControl = c.hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        });
        m_pty.Send(c.sent);
        EXPECT_EQ(Receive(static_cast<DWORD>(c.read.size())), c.read);
        EXPECT_EQ(Status().cbInQue, 0u);

        OVERLAPPED record = Record();
        DWORD count = 0;
        BOOL done = WriteFile(m_port, "z", 1, &count, &record);
        if (!c.held) {
            EXPECT_EQ(m_pty.Receive(1), "z");
            COMSTAT status = Status();
            EXPECT_EQ(status.fXoffHold | status.fCtsHold | status.fDsrHold, 0u);
            if (!done) EXPECT_TRUE(GetOverlappedResult(m_port, &record, &count, TRUE));
            continue;
        }
        ASSERT_FALSE(done);
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        EXPECT_EQ(m_pty.ReceiveFor(200), "");
        COMSTAT status = Status();
        EXPECT_EQ(status.fXoffHold, 1u);
        EXPECT_EQ(status.cbOutQue, 1u);
        EXPECT_TRUE(CancelIo(m_port));
        EXPECT_FALSE(GetOverlappedResult(m_port, &record, &count, FALSE));
        EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    }
}

struct MidStreamCase {
    size_t before;  // characters the far end takes before its XOFF
    char xon;
    char xoff;
};

// A writer offering one character at a time, each once the one before has
// gone, as the program's tick does: after the far end's XOFF at most one more
// gets out, and after its XON the rest follows, none skipped or doubled.
TEST_F(Flow, XoffMidStreamLetsAtMostOneMoreCharacterOutUntilXon) {
    const std::string text = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (MidStreamCase c : {MidStreamCase{1, kXon, kXoff}, MidStreamCase{10, 'Q', 'S'}}) {
        SCOPED_TRACE(c.before);
        SetFlow([&](DCB& dcb) {
            dcb.fOutX = 1;
            dcb.XonChar = c.xon;
            dcb.XoffChar = c.xoff;
        });
        std::thread writer([&] {
            for (char character : text) {
                Send(std::string(1, character));
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        std::string got = m_pty.Receive(c.before);
        m_pty.Send(std::string(1, c.xoff));
        std::string after = m_pty.ReceiveFor(300);
        EXPECT_LE(after.size(), 1u);
        EXPECT_EQ(Status().fXoffHold, 1u);
        m_pty.Send(std::string(1, c.xon));
        std::string rest = m_pty.Receive(text.size() - got.size() - after.size(), 5000);
        writer.join();
        EXPECT_EQ(got + after + rest, text);
        EXPECT_EQ(Status().fXoffHold, 0u);
    }
}

struct InputLimitsCase {
    WORD xoffLim;  // free room at which XOFF goes out
    WORD xonLim;   // bytes held at which XON goes out
    char xon;
    char xoff;
};

// The far end reads XOFF when the queue's free room falls to XoffLim, before
// anything could be lost, and XON once it is read down to XonLim; every byte
// it sent is read.
TEST_F(Flow, InputQueueSendsXoffAtXoffLimAndXonAtXonLim) {
    SetReadTimeouts(MAXDWORD, 0, 0);
    for (InputLimitsCase c : {InputLimitsCase{kQueue - 100, 10, kXon, kXoff}, InputLimitsCase{kQueue - 40, 0, 'Q', 'S'}}) {
        SCOPED_TRACE(c.xoffLim);
        SetFlow([&](DCB& dcb) {
            dcb.fInX = 1;
            dcb.XoffLim = c.xoffLim;
            dcb.XonLim = c.xonLim;
            dcb.XonChar = c.xon;
            dcb.XoffChar = c.xoff;
        });
        const DWORD full = kQueue - c.xoffLim;
        std::string sent;
        for (DWORD i = 0; i < full; ++i) sent += static_cast<char>(i % 251);
        m_pty.Send(sent.substr(0, full - 1));
        ASSERT_TRUE(WaitQueued(full - 1));
        EXPECT_EQ(m_pty.ReceiveFor(100), "");
        m_pty.Send(sent.substr(full - 1));
        EXPECT_EQ(m_pty.Receive(1), std::string(1, c.xoff));
        EXPECT_EQ(Status().fXoffSent, 1u);

        std::string read = Receive(full - c.xonLim - 1);
        EXPECT_EQ(m_pty.ReceiveFor(100), "");
        read += Receive(1);
        EXPECT_EQ(m_pty.Receive(1), std::string(1, c.xon));
        EXPECT_EQ(Status().fXoffSent, 0u);
        read += Receive(c.xonLim);
        EXPECT_EQ(read, sent);
    }
}

}  // namespace
