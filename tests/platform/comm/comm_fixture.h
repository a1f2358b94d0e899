// A comm handle opened on the slave of a fresh pseudo-terminal; the test plays
// the far end on the master.
#pragma once

#include <gtest/gtest.h>

#include "platform/win32.h"
#include "support/pty.h"

namespace commtest {

inline HANDLE OpenDevice(const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                       nullptr);
}

class PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_port = OpenDevice(m_pty.DeviceName());
        ASSERT_NE(m_port, INVALID_HANDLE_VALUE) << GetLastError();
        m_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        if (m_port != INVALID_HANDLE_VALUE) CloseHandle(m_port);
        CloseHandle(m_event);
    }

    void SetReadTimeouts(DWORD interval, DWORD multiplier, DWORD constant) {
        COMMTIMEOUTS timeouts{interval, multiplier, constant, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(m_port, &timeouts));
    }

    OVERLAPPED Record() const {
        OVERLAPPED record{};
        record.hEvent = m_event;
        return record;
    }

    testsupport::Pty m_pty;
    HANDLE m_port = INVALID_HANDLE_VALUE;
    HANDLE m_event = nullptr;
};

}  // namespace commtest
