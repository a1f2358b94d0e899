// Events and waits: signalled state, lowest index first, time-outs, and that a
// waiter is woken by the signal rather than by its time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/kernel/parker.h"
#include "platform/win32.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(Events, ManualResetStaysSignalledUntilReset) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, AutoResetReleasesOneWait) {
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Events, ClosedOrBogusHandlesFailWithInvalidHandle) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    SetLastError(0);
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Waits, LowestSignalledIndexWins) {
    HANDLE events[3];
    for (auto& e : events) e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetEvent(events[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    SetEvent(events[0]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, INFINITE), WAIT_OBJECT_0);
    for (auto e : events) CloseHandle(e);
}

TEST(Waits, WaitAllNeedsEverySignal) {
    HANDLE events[2];
    for (auto& e : events) e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 20), WAIT_TIMEOUT);
    SetEvent(events[0]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_OBJECT_0);
    for (auto e : events) CloseHandle(e);
}

TEST(Waits, TimeOutAfterAboutTheGivenTime) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 80), WAIT_TIMEOUT);
    long long took = MsSince(start);
    EXPECT_GE(took, 80);
    EXPECT_LT(took, 500);
    CloseHandle(event);
}

TEST(Waits, SignalFromAnotherThreadWakesAnInfiniteWait) {
    HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::thread signaller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        SetEvent(events[1]);
    });
    auto start = Clock::now();
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    EXPECT_LT(MsSince(start), 1000);
    signaller.join();
    for (auto e : events) CloseHandle(e);
}

TEST(Waits, ClosingAHandleDuringAWaitKeepsTheObjectForTheWaiter) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread waiter([event] { EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(CloseHandle(event));
    waiter.join();
}

// Two threads hand a turn back and forth many times, half the waits timed:
// a wake-up that does not reach its waiter hangs the test.
TEST(Waits, NoWakeUpIsLostInAHandOff) {
    constexpr int kTurns = 20000;
    HANDLE turns[2] = {CreateEventA(nullptr, FALSE, FALSE, nullptr), CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    auto play = [&](int me) {
        for (int turn = 0; turn < kTurns; ++turn) {
            const DWORD limit = turn % 2 ? INFINITE : 10000;
            ASSERT_EQ(WaitForSingleObject(turns[me], limit), WAIT_OBJECT_0) << "turn " << turn;
            SetEvent(turns[1 - me]);
        }
    };
    std::thread other(play, 1);
    SetEvent(turns[0]);
    play(0);
    other.join();
    for (auto e : turns) CloseHandle(e);
}

// A thread that put off the wake-up calls of its signals makes them before it
// sleeps itself: here the thread it owes one to is the one it waits for.
TEST(Waits, WakeUpsPutOffAreMadeBeforeTheSignallerSleeps) {
    HANDLE ping = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE pong = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread answerer([&] {
        WaitForSingleObject(ping, INFINITE);
        SetEvent(pong);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the answerer is asleep by now
    {
        kernel::WakeBatch owed;
        SetEvent(ping);
        EXPECT_EQ(WaitForSingleObject(pong, 5000), WAIT_OBJECT_0);
    }
    answerer.join();
    CloseHandle(ping);
    CloseHandle(pong);
}

TEST(Waits, BadArgumentsFail) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(0, &event, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, &event, FALSE, 0), WAIT_FAILED);
    HANDLE mixed[2] = {event, reinterpret_cast<HANDLE>(0x1234)};
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(event);
}

TEST(Clock, TickCountAdvancesWithSleep) {
    DWORD before = GetTickCount();
    Sleep(30);
    EXPECT_GE(GetTickCount() - before, 29u);
}

}  // namespace
