// Threads: created suspended, joined through their handle, exit codes, and the
// last error kept per thread.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/win32.h"

namespace {

std::atomic<int> g_runs{0};

DWORD CountRun(LPVOID parameter) {
    g_runs.fetch_add(1);
    return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(parameter));
}

DWORD WaitForGate(LPVOID gate) {
    WaitForSingleObject(static_cast<HANDLE>(gate), INFINITE);
    return 7;
}

TEST(Threads, SuspendedThreadRunsNothingUntilResumed) {
    g_runs = 0;
    HANDLE thread = CreateThread(nullptr, 0, CountRun, reinterpret_cast<LPVOID>(42), CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
    EXPECT_EQ(g_runs.load(), 0);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(g_runs.load(), 1);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST(Threads, HandleIsSignalledOnlyWhenTheThreadEnds) {
    HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitForGate, gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
    SetEvent(gate);
    HANDLE both[2] = {gate, thread};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 7u);
    CloseHandle(thread);
    CloseHandle(gate);
}

TEST(Threads, ClosingTheHandleDoesNotStopTheThread) {
    g_runs = 0;
    HANDLE thread = CreateThread(nullptr, 0, CountRun, nullptr, CREATE_SUSPENDED, nullptr);
    HANDLE done = CreateThread(nullptr, 0, CountRun, nullptr, CREATE_SUSPENDED, nullptr);
    ResumeThread(thread);
    CloseHandle(thread);
    ResumeThread(done);
    WaitForSingleObject(done, INFINITE);
    CloseHandle(done);
    for (int i = 0; i < 200 && g_runs.load() < 2; ++i) Sleep(5);
    EXPECT_EQ(g_runs.load(), 2);
}

DWORD SetOwnError(LPVOID) {
    SetLastError(ERROR_ACCESS_DENIED);
    return GetLastError();
}

TEST(Threads, LastErrorIsPerThread) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    HANDLE thread = CreateThread(nullptr, 0, SetOwnError, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    CloseHandle(thread);
}

TEST(Threads, WrongKindOfHandleIsRefused) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD code = 0;
    EXPECT_EQ(ResumeThread(event), static_cast<DWORD>(-1));
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CloseHandle(event);
}

}  // namespace
