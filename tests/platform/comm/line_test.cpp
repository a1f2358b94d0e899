// Line settings, hang-up and close on a pty.
#include <sys/resource.h>
#include <termios.h>

#include <string>
#include <vector>
#include <thread>

#include "comm_fixture.h"
#include "platform/kernel/background_close.h"
#include "support/thread_count.h"

namespace {

class Line : public commtest::PortTest {};

TEST_F(Line, SettingsReadBackAsSetThoughAPtyIgnoresFrame) {
    DCB dcb{};
    ASSERT_TRUE(GetCommState(m_port, &dcb));
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    dcb.BaudRate = 19200;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.fParity = 1;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    ASSERT_TRUE(SetCommState(m_port, &dcb)) << GetLastError();
    DCB back{};
    ASSERT_TRUE(GetCommState(m_port, &back));
    EXPECT_EQ(back.BaudRate, 19200u);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, EVENPARITY);
    EXPECT_EQ(back.fParity, 1u);
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    EXPECT_EQ(back.fOutxCtsFlow, 1u);
    EXPECT_EQ(back.fRtsControl, RTS_CONTROL_HANDSHAKE);
}

// A pty forces 8 data bits and no parity and says so by failing tcsetattr;
// that is not a refusal: every valid frame is taken and reads back as set,
// whether it comes alone or with a new speed, and when it is set again.
TEST_F(Line, EveryValidFrameIsTakenOnAPtyAndReadsBackAsSetEachTime) {
    DCB start{};
    ASSERT_TRUE(GetCommState(m_port, &start));
    for (BYTE byteSize = 5; byteSize <= 8; ++byteSize)
        for (BYTE parity = NOPARITY; parity <= SPACEPARITY; ++parity)
            for (BYTE stopBits = ONESTOPBIT; stopBits <= TWOSTOPBITS; ++stopBits) {
                if ((stopBits == ONE5STOPBITS) != (byteSize == 5) && stopBits != ONESTOPBIT) continue;
                for (DWORD baud : {start.BaudRate, DWORD{4800}, DWORD{4800}}) {
                    DCB dcb = start;
                    dcb.BaudRate = baud;
                    dcb.ByteSize = byteSize;
                    dcb.Parity = parity;
                    dcb.fParity = parity != NOPARITY;
                    dcb.StopBits = stopBits;
                    SCOPED_TRACE(testing::Message() << baud << " " << int(byteSize) << " parity " << int(parity)
                                                    << " stop " << int(stopBits));
                    ASSERT_TRUE(SetCommState(m_port, &dcb)) << GetLastError();
                    DCB back{};
                    ASSERT_TRUE(GetCommState(m_port, &back));
                    EXPECT_EQ(back.BaudRate, baud);
                    EXPECT_EQ(back.ByteSize, byteSize);
                    EXPECT_EQ(back.Parity, parity);
                    EXPECT_EQ(back.StopBits, stopBits);
                }
                ASSERT_TRUE(SetCommState(m_port, &start)) << GetLastError();
            }
}

TEST_F(Line, ARefusedFrameIsDescribedWithWhatTheLineKeeps) {
    DCB dcb{};
    ASSERT_TRUE(GetCommState(m_port, &dcb));
    dcb.BaudRate = 9600;
    ASSERT_TRUE(SetCommState(m_port, &dcb));
    dcb.StopBits = ONE5STOPBITS;  // with 8 data bits
    EXPECT_FALSE(SetCommState(m_port, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    std::string expected = m_pty.SlavePath() + " cannot take 1.5 stop bits, kept 9600 8N1";
    EXPECT_EQ(GetLastErrorText(), expected);
}

TEST_F(Line, AnyBaudRateIsKept) {
    DCB dcb{};
    GetCommState(m_port, &dcb);
    dcb.BaudRate = 123457;
    ASSERT_TRUE(SetCommState(m_port, &dcb)) << GetLastError();
    DCB back{};
    GetCommState(m_port, &back);
    EXPECT_EQ(back.BaudRate, 123457u);
}

// Other tools (stty, tcgetattr) read a standard rate only from its own
// constant; any other rate they cannot name reads back exactly here.
TEST_F(Line, StandardRatesAreSetByTheirConstantsOthersExactly) {
    const struct {
        DWORD baud;
        speed_t code;  // what tcgetattr reads; 0: none, the rate reads back exactly
    } cases[] = {{9600, B9600}, {115200, B115200}, {4000000, B4000000}, {50, B50}, {123457, 0}, {250000, 0}};
    for (const auto& c : cases) {
        DCB dcb{};
        GetCommState(m_port, &dcb);
        dcb.BaudRate = c.baud;
        ASSERT_TRUE(SetCommState(m_port, &dcb)) << c.baud << ": " << GetLastError();
        termios seen{};
        ASSERT_EQ(tcgetattr(m_pty.Master(), &seen), 0);
        if (c.code) {
            EXPECT_EQ(cfgetospeed(&seen), c.code) << c.baud;
            EXPECT_EQ(cfgetispeed(&seen), c.code) << c.baud;
        }
        DCB back{};
        GetCommState(m_port, &back);
        EXPECT_EQ(back.BaudRate, c.baud);
    }
}

TEST_F(Line, ImpossibleFramesAreRefusedAndChangeNothing) {
    DCB good{};
    ASSERT_TRUE(GetCommState(m_port, &good));
    auto refused = [&](auto edit) {
        DCB dcb = good;
        edit(dcb);
        SetLastError(0);
        bool ok = SetCommState(m_port, &dcb);
        return !ok && GetLastError() == ERROR_INVALID_PARAMETER;
    };
    EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 4; }));
    EXPECT_TRUE(refused([](DCB& d) { d.ByteSize = 9; }));
    EXPECT_TRUE(refused([](DCB& d) { d.BaudRate = 0; }));
    EXPECT_TRUE(refused([](DCB& d) { d.Parity = 5; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = 3; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = ONE5STOPBITS; d.ByteSize = 8; }));
    EXPECT_TRUE(refused([](DCB& d) { d.StopBits = TWOSTOPBITS; d.ByteSize = 5; }));
    EXPECT_FALSE(refused([](DCB& d) { d.StopBits = ONE5STOPBITS; d.ByteSize = 5; }));
    DCB back{};
    GetCommState(m_port, &back);
    EXPECT_EQ(back.StopBits, ONE5STOPBITS);
    EXPECT_EQ(back.BaudRate, good.BaudRate);
}

TEST_F(Line, TimeoutsReadBackAndAllMaxIsRefused) {
    COMMTIMEOUTS set{10, 20, 30, 40, 50};
    ASSERT_TRUE(SetCommTimeouts(m_port, &set));
    COMMTIMEOUTS back{};
    ASSERT_TRUE(GetCommTimeouts(m_port, &back));
    EXPECT_EQ(back.ReadIntervalTimeout, 10u);
    EXPECT_EQ(back.WriteTotalTimeoutConstant, 50u);
    COMMTIMEOUTS bad{MAXDWORD, MAXDWORD, MAXDWORD, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(m_port, &bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

TEST_F(Line, HangUpEndsThePendingWaitAndLaterCallsFailWithoutSpinning) {
    ASSERT_TRUE(SetCommMask(m_port, EV_RXCHAR));
    DWORD bits = 0xFFFFFFFF;
    OVERLAPPED record = Record();
    ASSERT_FALSE(WaitCommEvent(m_port, &bits, &record));
    m_pty.CloseMaster();
    ASSERT_EQ(WaitForSingleObject(m_event, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(bits, 0u);
    DWORD unused;
    EXPECT_FALSE(GetOverlappedResult(m_port, &record, &unused, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);

    OVERLAPPED again = Record();
    EXPECT_FALSE(WaitCommEvent(m_port, &bits, &again));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    char buffer[4];
    EXPECT_FALSE(ReadFile(m_port, buffer, sizeof buffer, nullptr, &again));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(WriteFile(m_port, "x", 1, nullptr, &again));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);

    double before = ProcessCpuMs();
    Sleep(300);
    EXPECT_LT(ProcessCpuMs() - before, 30.0);
}

TEST_F(Line, DataQueuedBeforeAHangUpCanStillBeReadAndThenReadsFail) {
    m_pty.Send("last");
    Sleep(50);
    m_pty.CloseMaster();
    Sleep(50);
    SetReadTimeouts(MAXDWORD, 0, 0);
    char buffer[8];
    DWORD count = 0;
    OVERLAPPED record = Record();
    EXPECT_TRUE(ReadFile(m_port, buffer, sizeof buffer, &count, &record));
    EXPECT_EQ(std::string(buffer, count), "last");

    // Once the queue is empty, even a read that would not wait fails.
    EXPECT_FALSE(ReadFile(m_port, buffer, sizeof buffer, &count, &record));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST(ClosePort, CloseEndsPendingOperationsAndJoinsTheDriver) {
    const int before = testsupport::Threads();
    testsupport::Pty pty;
    HANDLE port = commtest::OpenDevice(pty.DeviceName());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(testsupport::Threads(), before + 1);
    COMMTIMEOUTS blocking{0, 0, 0, 0, 0};
    SetCommTimeouts(port, &blocking);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    char buffer[8];
    OVERLAPPED record{};
    record.hEvent = event;
    ASSERT_FALSE(ReadFile(port, buffer, sizeof buffer, nullptr, &record));
    EXPECT_TRUE(CloseHandle(port));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(record.Internal, ERROR_OPERATION_ABORTED);
    // The driver thread is joined by the close's own, which ends when the line is put back.
    EXPECT_EQ(kernel::WaitForBackgroundCloses(), std::vector<std::string>{});
    EXPECT_TRUE(testsupport::ThreadsReturnTo(before));
    EXPECT_FALSE(ReadFile(port, buffer, sizeof buffer, nullptr, &record));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    CloseHandle(event);
}

// The pty's termios is read and set through the master, which acts on the slave's.
TEST(ClosePort, TheLineIsLeftAsItWasFound) {
    testsupport::Pty pty;
    termios found{};
    ASSERT_EQ(tcgetattr(pty.Master(), &found), 0);
    cfsetspeed(&found, B4800);
    found.c_lflag |= ECHO | ICANON;
    ASSERT_EQ(tcsetattr(pty.Master(), TCSANOW, &found), 0);
    HANDLE port = commtest::OpenDevice(pty.DeviceName());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB dcb{};
    GetCommState(port, &dcb);
    dcb.BaudRate = 115200;
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(SetCommState(port, &dcb));
    CloseHandle(port);
    ASSERT_EQ(kernel::WaitForBackgroundCloses(), std::vector<std::string>{});
    termios left{};
    ASSERT_EQ(tcgetattr(pty.Master(), &left), 0);
    EXPECT_EQ(cfgetospeed(&left), B4800);
    EXPECT_EQ(left.c_lflag & (ECHO | ICANON), tcflag_t{ECHO | ICANON});
    EXPECT_EQ(left.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(left.c_iflag & PARMRK, 0u);
}

TEST_F(Line, ClearCommErrorReportsQueueAndNoErrorsOnACleanLine) {
    m_pty.Send("12345");
    Sleep(50);
    DWORD errors = 0xFF;
    COMSTAT status{};
    ASSERT_TRUE(ClearCommError(m_port, &errors, &status));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(status.cbInQue, 5u);
    ASSERT_TRUE(PurgeComm(m_port, PURGE_RXCLEAR | PURGE_RXABORT));
    ClearCommError(m_port, nullptr, &status);
    EXPECT_EQ(status.cbInQue, 0u);
    EXPECT_FALSE(PurgeComm(m_port, 0x100));
}

}  // namespace
