// A comm handle opened on the slave of a fresh pseudo-terminal; the test plays
// the far end on the master.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

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

    // Writes and waits for completion.
    void Send(const std::string& bytes) {
        OVERLAPPED record = Record();
        DWORD count = 0;
        if (!WriteFile(m_port, bytes.data(), static_cast<DWORD>(bytes.size()), &count, &record)) {
            ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
            ASSERT_TRUE(GetOverlappedResult(m_port, &record, &count, TRUE));
        }
        EXPECT_EQ(count, bytes.size());
    }
    // Reads with the current time-outs until the read completes.
    std::string Receive(DWORD length) {
        std::string buffer(length, '\0');
        OVERLAPPED record = Record();
        DWORD count = 0;
        if (!ReadFile(m_port, buffer.data(), length, &count, &record)) {
            EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
            EXPECT_TRUE(GetOverlappedResult(m_port, &record, &count, TRUE));
        }
        buffer.resize(count);
        return buffer;
    }
    // A short stream at the far end (ten 62-byte pieces 200 us apart), which
    // then hangs up; what it sent. The driver has seen the hang-up on return.
    std::string SendStreamAndHangUp() {
        std::string sent;
        for (int piece = 0; piece < 10; ++piece) {
            const std::string bytes(62, static_cast<char>('a' + piece));
            m_pty.Send(bytes);
            sent += bytes;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(1300));
        m_pty.CloseMaster();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return sent;
    }
    // What the port holds, read until a read brings nothing.
    std::string ReceiveAll() {
        SetReadTimeouts(MAXDWORD, 0, 0);
        std::string got;
        char buffer[256];
        DWORD count = 0;
        OVERLAPPED record = Record();
        while (ReadFile(m_port, buffer, sizeof buffer, &count, &record) && count > 0) got.append(buffer, count);
        return got;
    }

    testsupport::Pty m_pty;
    HANDLE m_port = INVALID_HANDLE_VALUE;
    HANDLE m_event = nullptr;
};

}  // namespace commtest
