// Message maps, registered messages, posting and the default processing chain.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "platform/framework/headless/headless.h"
#include "message_window_test.h"

namespace {

UINT g_nPingMsg = RegisterWindowMessageA("ZandrelTest_Ping");
UINT g_nLateMsg = 0;  // registered after the map is built

class BaseReceiver : public CWnd {
public:
    std::vector<std::string> calls;

protected:
    afx_msg void OnTimer(UINT nIDEvent) { calls.push_back("base timer " + std::to_string(nIDEvent)); }
    afx_msg void OnClose() { calls.push_back("base close"); }
    afx_msg LRESULT OnPing(WPARAM wParam, LPARAM lParam) {
        calls.push_back("base ping");
        return 7;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseReceiver, CWnd)
    ON_WM_TIMER()
    ON_WM_CLOSE()
    ON_REGISTERED_MESSAGE(g_nPingMsg, OnPing)
END_MESSAGE_MAP()

class Receiver : public BaseReceiver {
public:
    std::vector<std::pair<WPARAM, LPARAM>> pings;

protected:
    afx_msg LRESULT OnPing(WPARAM wParam, LPARAM lParam) {
        pings.emplace_back(wParam, lParam);
        calls.push_back("ping");
        return 42;
    }
    afx_msg LRESULT OnLate(WPARAM, LPARAM) {
        calls.push_back("late");
        return 0;
    }
    afx_msg void OnTimer(UINT nIDEvent) { calls.push_back("timer " + std::to_string(nIDEvent)); }
    afx_msg void OnFirstCommand() { calls.push_back("command 5"); }
    afx_msg void OnSecondCommand() { calls.push_back("second command 5"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Receiver, BaseReceiver)
    ON_REGISTERED_MESSAGE(g_nPingMsg, OnPing)
    ON_REGISTERED_MESSAGE(g_nLateMsg, OnLate)
    ON_WM_TIMER()
    ON_COMMAND(5, OnFirstCommand)
    ON_COMMAND(5, OnSecondCommand)
END_MESSAGE_MAP()

using MessageDispatch = MessageWindowTest<Receiver>;

TEST(RegisteredMessages, SameNameGivesSameIdInRangeRegardlessOfCase) {
    UINT a = RegisterWindowMessageA("CSerialWnd_DefaultComMsg");
    UINT b = RegisterWindowMessageA("WM_ZDL_PROCESSCMDLINE");
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_GE(b, 0xC000u);
    EXPECT_LE(b, 0xFFFFu);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, RegisterWindowMessageA("CSerialWnd_DefaultComMsg"));
    EXPECT_EQ(a, RegisterWindowMessageA("cserialwnd_defaultcommsg"));
    EXPECT_EQ(0u, RegisterWindowMessageA(""));
    EXPECT_EQ(0u, RegisterWindowMessageA(nullptr));
}

TEST(RegisteredMessages, IdsAreFixedAcrossRunsAndBuilds) {
    // Derived from the name alone (32-bit FNV-1a of the lower-cased name, into
    // 0xC000..0xFFFF), so another process and another build get the same number.
    EXPECT_EQ(0xC900u, RegisterWindowMessageA("ZandrelTest_Fixed"));
}

TEST(RegisteredMessages, ManyDistinctNamesGetDistinctIds) {
    std::set<UINT> ids;
    for (int i = 0; i < 3000; ++i) ids.insert(RegisterWindowMessageA(("ZandrelTest_Many" + std::to_string(i)).c_str()));
    EXPECT_EQ(3000u, ids.size());
}

TEST_F(MessageDispatch, DerivedEntryWinsOverBaseAndFirstMatchingEntryWins) {
    EXPECT_EQ(42, window.SendMessage(g_nPingMsg, 1, 2));
    window.SendMessage(WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), 0);
    window.SendMessage(WM_TIMER, 9, 0);
    EXPECT_EQ((std::vector<std::string>{"ping", "command 5", "timer 9"}), window.calls);
}

TEST_F(MessageDispatch, UnhandledMessageFallsThroughToBaseMap) {
    window.SendMessage(WM_CLOSE);
    EXPECT_EQ(std::vector<std::string>{"base close"}, window.calls);
}

TEST_F(MessageDispatch, CommandWithOtherNotificationCodeIsNotMatched) {
    window.SendMessage(WM_COMMAND, MAKEWPARAM(5, 1), 0);
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(MessageDispatch, RegisteredIdIsReadAtDispatchTime) {
    window.SendMessage(0xC000 + 1, 0, 0);  // before registration the entry matches nothing
    EXPECT_TRUE(window.calls.empty());
    g_nLateMsg = RegisterWindowMessageA("ZandrelTest_Late");
    window.SendMessage(g_nLateMsg, 0, 0);
    EXPECT_EQ(std::vector<std::string>{"late"}, window.calls);
}

TEST_F(MessageDispatch, PostedMessagesArriveLaterInOrderWithTheirParameters) {
    EXPECT_TRUE(PostMessageA(window.m_hWnd, g_nPingMsg, 1, 10));
    EXPECT_TRUE(window.PostMessage(g_nPingMsg, 2, 20));
    EXPECT_TRUE(window.pings.empty());
    EXPECT_EQ(2, headless::RunUntilIdle());
    EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{1, 10}, {2, 20}}), window.pings);
}

TEST_F(MessageDispatch, PostFromAnotherThreadWakesTheDispatcher) {
    constexpr int kPosts = 200;
    std::thread poster([&] {
        for (int i = 0; i < kPosts; ++i) PostMessageA(window.m_hWnd, g_nPingMsg, static_cast<WPARAM>(i), 0);
    });
    bool all = headless::DispatchUntil([&] { return window.pings.size() == kPosts; }, 5000);
    poster.join();
    ASSERT_TRUE(all);
    for (int i = 0; i < kPosts; ++i) EXPECT_EQ(static_cast<WPARAM>(i), window.pings[i].first);
}

TEST_F(MessageDispatch, PostToNullOrDestroyedWindowFails) {
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(nullptr, g_nPingMsg, 0, 0));
    EXPECT_EQ(ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    HWND old = window.m_hWnd;
    EXPECT_TRUE(IsWindow(old));
    headless::Destroy(window);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_FALSE(PostMessageA(old, g_nPingMsg, 0, 0));
    EXPECT_EQ(nullptr, CWnd::FromHandle(old));
}

TEST_F(MessageDispatch, DestroyingAWindowDropsWhatWasQueuedForIt) {
    window.PostMessage(g_nPingMsg, 1, 0);
    headless::Destroy(window);
    EXPECT_EQ(0, headless::RunUntilIdle());
    EXPECT_TRUE(window.pings.empty());
}

TEST_F(MessageDispatch, WindowObjectGoingAwayKillsItsWindow) {
    HWND handle;
    {
        Receiver temporary;
        ASSERT_TRUE(headless::CreateMessageWindow(temporary));
        handle = temporary.m_hWnd;
        temporary.SetTimer(1, 10, nullptr);
        temporary.PostMessage(g_nPingMsg);
    }
    EXPECT_FALSE(IsWindow(handle));
    headless::Advance(100);  // nothing is left to reach the dead object
}

TEST_F(MessageDispatch, HandlesArePerWindowAndNeverReused) {
    Receiver other;
    ASSERT_TRUE(headless::CreateMessageWindow(other));
    HWND first = other.m_hWnd;
    headless::Destroy(other);
    ASSERT_TRUE(headless::CreateMessageWindow(other));
    EXPECT_NE(first, other.m_hWnd);
    EXPECT_NE(window.m_hWnd, other.m_hWnd);
    EXPECT_EQ(&other, CWnd::FromHandle(other.m_hWnd));
}

}  // namespace
