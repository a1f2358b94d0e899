// The notifying port: its worker posts each port event to a window, stops with
// Close, and ends on its own when the device goes away.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/framework/headless/headless.h"
#include "port_probes.h"
#include "support/pty.h"

namespace {

const UINT kCustomComMsg = RegisterWindowMessageA("ZandrelTest_CustomComMsg");

struct Notification {
    UINT nMessage;
    WPARAM wParam;
    LPARAM lParam;
};

class NotifyWindow : public CWnd {
public:
    std::vector<Notification> m_received;

protected:
    LRESULT OnDefaultComMsg(WPARAM wParam, LPARAM lParam) {
        m_received.push_back({CSerialWnd::s_nDefaultComMsg, wParam, lParam});
        return 0;
    }
    LRESULT OnCustomComMsg(WPARAM wParam, LPARAM lParam) {
        m_received.push_back({kCustomComMsg, wParam, lParam});
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(NotifyWindow, CWnd)
    ON_REGISTERED_MESSAGE(CSerialWnd::s_nDefaultComMsg, OnDefaultComMsg)
    ON_REGISTERED_MESSAGE(kCustomComMsg, OnCustomComMsg)
END_MESSAGE_MAP()

double CpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

class SerialWnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { headless::Use(false); }
    void SetUp() override { ASSERT_TRUE(headless::CreateMessageWindow(m_window)); }

    LONG OpenNotifying(UINT nMessage = 0, LPARAM lParam = 0) {
        return m_port.Open(m_pty.DeviceName().c_str(), m_window.m_hWnd, nMessage, lParam, kQueueSize, kQueueSize);
    }
    bool AwaitNotifications(size_t nCount, DWORD dwTimeoutMs = 2000) {
        return headless::DispatchUntil([&] { return m_window.m_received.size() >= nCount; }, dwTimeoutMs);
    }
    // Handles whatever is posted within the given time.
    void DispatchFor(DWORD dwMilliseconds) {
        headless::DispatchUntil([] { return false; }, dwMilliseconds);
    }
    std::string ReadAvailable() {
        char buffer[500];
        DWORD dwRead = 0;
        EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &dwRead, nullptr, INFINITE), 0);
        return std::string(buffer, dwRead);
    }

    NotifyWindow m_window;
    testsupport::Pty m_pty;
    WatchedPort m_port;
};

TEST_F(SerialWnd, DefaultMessageIsRegisteredByName) {
    EXPECT_EQ(CSerialWnd::s_nDefaultComMsg, RegisterWindowMessageA("CSerialWnd_DefaultComMsg"));
    EXPECT_GE(CSerialWnd::s_nDefaultComMsg, WM_REGISTERED_FIRST);
    EXPECT_NE(CSerialWnd::s_nDefaultComMsg, kCustomComMsg);
}

TEST_F(SerialWnd, ReceivedCharacterIsAnnouncedToTheWindowWithTheCallersParameter) {
    ASSERT_EQ(m_port.Open(m_pty.DeviceName().c_str(), &m_window, 0, 0x5A5A, kQueueSize, kQueueSize), 0);
    EXPECT_EQ(m_port.m_hWndNotify, m_window.m_hWnd);
    EXPECT_EQ(m_port.m_nNotifyMsg, CSerialWnd::s_nDefaultComMsg);
    m_pty.Send("A");
    ASSERT_TRUE(AwaitNotifications(1));

    const Notification& first = m_window.m_received.front();
    EXPECT_EQ(first.nMessage, CSerialWnd::s_nDefaultComMsg);
    EXPECT_EQ(LOWORD(first.wParam), EV_RXCHAR);
    EXPECT_EQ(HIWORD(first.wParam), 0u);
    EXPECT_EQ(first.lParam, 0x5A5A);
    // The notification carries no data: the receiver reads it.
    EXPECT_EQ(ReadAvailable(), "A");

    m_pty.Send("B");
    ASSERT_TRUE(AwaitNotifications(2));
    EXPECT_EQ(ReadAvailable(), "B");
}

// A stream of single bytes half a millisecond apart, as a slow device sends:
// the bytes that come while the window is being told fold into the next
// notification instead of one each, and once the stream runs, about one
// notification per 16 ms gather (4 and 8 ms ones first). A sender held up
// for 16 ms or more starts the next gathers short again: the bound allows
// one notification per 8 ms, half what gathers of 4 ms would give.
TEST_F(SerialWnd, ARunningStreamIsToldInGathersNotPerByte) {
    ASSERT_EQ(OpenNotifying(), 0);
    constexpr int kBytes = 200;
    const auto began = std::chrono::steady_clock::now();
    std::thread sender([this] {
        for (int i = 0; i < kBytes; ++i) {
            m_pty.Send(std::string(1, static_cast<char>('a' + i % 26)));
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    std::string received;
    headless::DispatchUntil(
        [&] {
            received += ReadAvailable();
            return received.size() >= kBytes;
        },
        10000);
    sender.join();
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
    ASSERT_EQ(received.size(), static_cast<size_t>(kBytes));
    for (int i = 0; i < kBytes; ++i) EXPECT_EQ(received[i], 'a' + i % 26) << "at " << i;
    EXPECT_LE(m_window.m_received.size(), static_cast<size_t>(elapsedMs.count() / 8 + 4)) << elapsedMs.count() << " ms";
}

TEST_F(SerialWnd, CustomMessageIsPostedInsteadOfTheDefault) {
    ASSERT_EQ(OpenNotifying(kCustomComMsg, 7), 0);
    m_pty.Send("c");
    ASSERT_TRUE(AwaitNotifications(1));
    for (const Notification& n : m_window.m_received) {
        EXPECT_EQ(n.nMessage, kCustomComMsg);
        EXPECT_EQ(n.lParam, 7);
    }
}

TEST_F(SerialWnd, MissingDeviceStartsNoWorker) {
    EXPECT_EQ(m_port.Open("\\\\.\\/dev/zandrel-no-such-tty", m_window.m_hWnd, 0, 0, kQueueSize, kQueueSize),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_EQ(m_port.m_hThread, nullptr);
    EXPECT_EQ(m_port.m_hStopEvent, nullptr);
    EXPECT_EQ(m_port.m_hWaitEvent, nullptr);
    EXPECT_EQ(m_port.m_hWndNotify, nullptr);
    EXPECT_EQ(m_port.WaitsStarted(), 0);
    EXPECT_EQ(m_port.Close(), 0);
}

TEST_F(SerialWnd, SecondOpenLeavesTheRunningWorkerUndisturbed) {
    ASSERT_EQ(OpenNotifying(0, 1), 0);
    const HANDLE hThread = m_port.m_hThread;
    const HANDLE hStop = m_port.m_hStopEvent;

    testsupport::Pty other;
    EXPECT_EQ(m_port.Open(other.DeviceName().c_str(), static_cast<HWND>(nullptr), kCustomComMsg, 2, kQueueSize, kQueueSize),
              static_cast<LONG>(ERROR_ALREADY_INITIALIZED));
    EXPECT_EQ(m_port.m_hThread, hThread);
    EXPECT_EQ(m_port.m_hStopEvent, hStop);
    EXPECT_EQ(m_port.m_hWndNotify, m_window.m_hWnd);
    EXPECT_EQ(m_port.m_nNotifyMsg, CSerialWnd::s_nDefaultComMsg);
    EXPECT_EQ(m_port.m_lNotifyParam, 1);

    m_pty.Send("s");
    ASSERT_TRUE(AwaitNotifications(1));
    EXPECT_EQ(m_window.m_received.front().lParam, 1);
}

TEST_F(SerialWnd, CloseJoinsTheWorkerAndNothingIsPostedAfterwards) {
    ASSERT_EQ(OpenNotifying(), 0);
    m_pty.Send("1");
    ASSERT_TRUE(AwaitNotifications(1));

    EXPECT_EQ(m_port.Close(), 0);
    EXPECT_TRUE(m_port.WorkerEnded());
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_EQ(m_port.m_hThread, nullptr);
    EXPECT_EQ(m_port.m_hStopEvent, nullptr);
    EXPECT_EQ(m_port.m_hWaitEvent, nullptr);
    EXPECT_EQ(m_port.m_hWndNotify, nullptr);
    EXPECT_EQ(m_port.m_nNotifyMsg, 0u);
    EXPECT_EQ(m_port.m_lNotifyParam, 0);
    EXPECT_EQ(m_port.Close(), 0);

    DispatchFor(100);  // what was queued before Close may still arrive
    const size_t nBefore = m_window.m_received.size();
    const char more[] = "23";
    EXPECT_GE(::write(m_pty.Master(), more, 2), 0);
    DispatchFor(200);
    EXPECT_EQ(m_window.m_received.size(), nBefore);
}

TEST_F(SerialWnd, MaskChangeDuringAPendingWaitPostsNothing) {
    ASSERT_EQ(OpenNotifying(), 0);
    ASSERT_TRUE(m_port.AwaitWaitsStarted(1));
    EXPECT_EQ(m_port.SetEventMask(EV_RXCHAR | EV_BREAK | EV_ERR), 0);
    // The emptied wait was followed by a new one ...
    ASSERT_TRUE(m_port.AwaitWaitsStarted(2));
    DispatchFor(100);
    EXPECT_TRUE(m_window.m_received.empty());

    // ... which still announces data.
    m_pty.Send("z");
    ASSERT_TRUE(AwaitNotifications(1));
    EXPECT_EQ(LOWORD(m_window.m_received.front().wParam), EV_RXCHAR);
}

TEST_F(SerialWnd, HangUpEndsTheWorkerWithoutSpinning) {
    ASSERT_EQ(OpenNotifying(), 0);
    ASSERT_TRUE(m_port.AwaitWaitsStarted(1));
    m_pty.CloseMaster();
    ASSERT_TRUE(m_port.AwaitWorkerEnded());

    const double cpuBefore = CpuMilliseconds();
    DispatchFor(300);
    EXPECT_LT(CpuMilliseconds() - cpuBefore, 60.0);
    EXPECT_EQ(m_port.Close(), 0);
}

TEST_F(SerialWnd, DestroyingAWatchingPortJoinsTheWorkerAndReleasesTheDevice) {
    {
        CSerialDialogPort port;
        ASSERT_EQ(port.Open(m_pty.DeviceName().c_str(), &m_window, 0, 0, kQueueSize, kQueueSize), 0);
        m_pty.Send("d");
        ASSERT_TRUE(AwaitNotifications(1));
    }
    CSerialPort next;
    EXPECT_EQ(next.Open(m_pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0);
}

TEST_F(SerialWnd, DialogPortWithoutAWindowWatchesButPostsNowhere) {
    ASSERT_EQ(m_port.Open(m_pty.DeviceName().c_str(), static_cast<CWnd*>(nullptr), 0, 0, kQueueSize, kQueueSize), 0);
    EXPECT_EQ(m_port.m_hWndNotify, nullptr);
    ASSERT_TRUE(m_port.AwaitWaitsStarted(1));
    m_pty.Send("n");
    // The event was taken and the next wait started, with nothing delivered.
    ASSERT_TRUE(m_port.AwaitWaitsStarted(2));
    DispatchFor(100);
    EXPECT_TRUE(m_window.m_received.empty());
    EXPECT_EQ(ReadAvailable(), "n");
    EXPECT_EQ(m_port.Close(), 0);
}

}  // namespace
