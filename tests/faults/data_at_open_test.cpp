// Bytes that reach the port while it is being opened, before its event mask
// is set, raise no event of their own. The notifying port must still tell its
// window about them: otherwise a capture leaves them in the queue until more
// data happens to follow, and drops them at Stop when none does.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/framework/headless/headless.h"
#include "serial/serial_wnd.h"
#include "support/pty.h"

namespace {

class NotifyWindow : public CWnd {
public:
    std::vector<WPARAM> m_received;

protected:
    LRESULT OnComMsg(WPARAM wParam, LPARAM) {
        m_received.push_back(wParam);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(NotifyWindow, CWnd)
    ON_REGISTERED_MESSAGE(CSerialWnd::s_nDefaultComMsg, OnComMsg)
END_MESSAGE_MAP()

// The far end talks just before Open sets the event mask, and the bytes are
// in the port's queue by the time it does.
class PortWithEarlyData : public CSerialDialogPort {
public:
    explicit PortWithEarlyData(const testsupport::Pty& pty) : m_pty(pty) {}

    LONG SetEventMask(DWORD dwEventMask) override {
        m_pty.Send("early");
        COMSTAT status{};
        for (int i = 0; i < 200 && status.cbInQue < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ClearCommError(m_hComm, nullptr, &status);
        }
        return CSerialDialogPort::SetEventMask(dwEventMask);
    }

private:
    const testsupport::Pty& m_pty;
};

TEST(DataAtOpen, BytesQueuedBeforeTheEventMaskWasSetAreAnnounced) {
    headless::Use(false);
    NotifyWindow window;
    ASSERT_TRUE(headless::CreateMessageWindow(window));
    testsupport::Pty pty;
    PortWithEarlyData port(pty);
    ASSERT_EQ(port.Open(pty.DeviceName().c_str(), &window, 0, 0, 2048, 2048), 0);

    ASSERT_TRUE(headless::DispatchUntil([&] { return !window.m_received.empty(); }, 2000));
    EXPECT_EQ(LOWORD(window.m_received.front()) & EV_RXCHAR, static_cast<WORD>(EV_RXCHAR));
    char buffer[8];
    DWORD count = 0;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, INFINITE), 0);
    EXPECT_EQ(std::string(buffer, count), "early");
    port.Close();
    headless::Destroy(window);
}

}  // namespace
