// Test subclasses of the port classes: they expose the protected state and
// let a test follow the notifying port's worker.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <functional>
#include <mutex>

#include "serial/serial_wnd.h"

inline constexpr DWORD kQueueSize = 2048;

// The DCB's 32-bit flags word, as a device driver sees it.
inline DWORD FlagsWord(const DCB& dcb) {
    DWORD dwFlags;
    std::memcpy(&dwFlags, reinterpret_cast<const char*>(&dcb) + offsetof(DCB, BaudRate) + sizeof(DWORD),
                sizeof dwFlags);
    return dwFlags;
}

class ProbedPort : public CSerialPort {
public:
    using CSerialPort::m_hComm;
    using CSerialPort::m_hOverlappedEvent;

    DCB State() const {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        EXPECT_TRUE(GetCommState(m_hComm, &dcb));
        return dcb;
    }
    void SetState(DCB dcb) const { EXPECT_TRUE(SetCommState(m_hComm, &dcb)); }

    COMMTIMEOUTS Timeouts() const {
        COMMTIMEOUTS timeouts{};
        EXPECT_TRUE(GetCommTimeouts(m_hComm, &timeouts));
        return timeouts;
    }
    void SetTimeouts(COMMTIMEOUTS timeouts) const { EXPECT_TRUE(SetCommTimeouts(m_hComm, &timeouts)); }
};

// A notifying port that counts the waits its worker starts and records when
// the worker's loop has returned.
class WatchedPort : public CSerialDialogPort {
public:
    using CSerialWnd::m_hStopEvent;
    using CSerialWnd::m_hThread;
    using CSerialWnd::m_hWaitEvent;
    using CSerialWnd::m_hWndNotify;
    using CSerialWnd::m_lNotifyParam;
    using CSerialWnd::m_nNotifyMsg;

    // The worker calls this object's overrides, so it must be joined before they go.
    ~WatchedPort() override {
        if (m_hThread != nullptr) CSerialWnd::Close();
    }

    LONG WaitForEvent(LPOVERLAPPED lpOverlapped, DWORD dwTimeout) override {
        const LONG nResult = CSerialDialogPort::WaitForEvent(lpOverlapped, dwTimeout);
        Update([this] { ++m_nWaitsStarted; });
        return nResult;
    }

    int WaitsStarted() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nWaitsStarted;
    }
    bool WorkerEnded() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_fWorkerEnded;
    }
    bool AwaitWaitsStarted(int nCount, int nTimeoutMs = 2000) {
        return Await([&] { return m_nWaitsStarted >= nCount; }, nTimeoutMs);
    }
    bool AwaitWorkerEnded(int nTimeoutMs = 2000) {
        return Await([&] { return m_fWorkerEnded; }, nTimeoutMs);
    }

protected:
    DWORD WatchPortEvents() override {
        const DWORD dwExit = CSerialDialogPort::WatchPortEvents();
        Update([this] { m_fWorkerEnded = true; });
        return dwExit;
    }

private:
    void Update(const std::function<void()>& change) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }
    bool Await(const std::function<bool()>& condition, int nTimeoutMs) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), condition);
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_nWaitsStarted = 0;
    bool m_fWorkerEnded = false;
};
