// Window timers on the manual clock.
#include <gtest/gtest.h>

#include <vector>

#include "platform/framework/headless/headless.h"
#include "message_window_test.h"
#include "platform/framework/timer_table.h"

namespace {

class TickCounter : public CWnd {
public:
    std::vector<std::pair<UINT, DWORD>> ticks;  // id, time
    UINT postOnTick = 0;  // this tick posts WM_TIMER 99 once

protected:
    afx_msg void OnTimer(UINT nIDEvent) {
        ticks.emplace_back(nIDEvent, headless::Now());
        if (nIDEvent == postOnTick) {
            postOnTick = 0;
            PostMessage(WM_TIMER, 99, 0);
        }
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TickCounter, CWnd)
    ON_WM_TIMER()
END_MESSAGE_MAP()

class Timers : public MessageWindowTest<TickCounter> {
protected:
    std::vector<DWORD> TimesOf(UINT id) const {
        std::vector<DWORD> times;
        for (auto [tick, at] : window.ticks)
            if (tick == id) times.push_back(at);
        return times;
    }
};

TEST_F(Timers, FirstTickComesOnePeriodAfterSetAndThenEveryPeriod) {
    EXPECT_NE(0u, window.SetTimer(1124, 25, nullptr));
    headless::Advance(24);
    EXPECT_TRUE(window.ticks.empty());
    headless::Advance(76);
    EXPECT_EQ((std::vector<DWORD>{25, 50, 75, 100}), TimesOf(1124));
}

TEST_F(Timers, SettingAnExistingIdReplacesItsPeriod) {
    window.SetTimer(7, 100, nullptr);
    headless::Advance(50);
    window.SetTimer(7, 30, nullptr);
    EXPECT_EQ(30u, headless::TimerPeriod(window, 7));
    headless::Advance(100);
    EXPECT_EQ((std::vector<DWORD>{80, 110, 140}), TimesOf(7));
}

TEST_F(Timers, KillStopsTicksAndReportsWhetherTheTimerExisted) {
    window.SetTimer(3, 10, nullptr);
    headless::Advance(20);
    EXPECT_TRUE(window.KillTimer(3));
    EXPECT_FALSE(window.KillTimer(3));
    EXPECT_FALSE(headless::TimerSet(window, 3));
    headless::Advance(100);
    EXPECT_EQ(2u, TimesOf(3).size());
}

TEST(TimerSchedule, ALateTickIsDeliveredOnceAndTheNextStaysOnTheGrid) {
    // Time moving on without dispatch (a long handler elsewhere) cannot be
    // made through the window API on a manual clock, so drive the table itself.
    HWND window = reinterpret_cast<HWND>(0x4);
    afx::SetWindowTimer(window, 1, 10, nullptr, 0);
    EXPECT_FALSE(afx::TakeDueTimer(9));
    ASSERT_TRUE(afx::TakeDueTimer(37));
    EXPECT_FALSE(afx::TakeDueTimer(37));
    EXPECT_EQ(40u, afx::NextTimerDue());
    ASSERT_TRUE(afx::TakeDueTimer(40));
    EXPECT_EQ(50u, afx::NextTimerDue());
    afx::KillWindowTimers(window);
}

TEST_F(Timers, TwoTimersInterleaveByDueTime) {
    window.SetTimer(1, 30, nullptr);
    window.SetTimer(2, 20, nullptr);
    headless::Advance(60);
    std::vector<std::pair<UINT, DWORD>> expected = {{2, 20}, {1, 30}, {2, 40}, {1, 60}, {2, 60}};
    EXPECT_EQ(expected, window.ticks);
}

TEST_F(Timers, ZeroPeriodRunsAt10MsInsteadOfSpinningWhileShortPeriodsRunAsAsked) {
    window.SetTimer(1, 0, nullptr);
    window.SetTimer(2, 1, nullptr);
    EXPECT_EQ(10u, headless::TimerPeriod(window, 1));
    EXPECT_EQ(1u, headless::TimerPeriod(window, 2));
    headless::Advance(30);
    EXPECT_EQ(3u, TimesOf(1).size());
    EXPECT_EQ(30u, TimesOf(2).size());
}

TEST_F(Timers, PostedMessagesGoBeforeADueTimer) {
    // Both timers are due at 10; the first tick's handler posts, and the posted
    // message is handled before the second timer's tick.
    window.SetTimer(1, 10, nullptr);
    window.SetTimer(2, 10, nullptr);
    window.postOnTick = 1;
    headless::Advance(10);
    EXPECT_EQ((std::vector<std::pair<UINT, DWORD>>{{1, 10}, {99, 10}, {2, 10}}), window.ticks);
}

}  // namespace
