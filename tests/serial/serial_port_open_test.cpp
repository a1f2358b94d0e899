// Opening and closing a port: results, what is held, the defaults, exclusivity.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "port_probes.h"
#include "support/pty.h"

extern char** environ;

namespace {

constexpr const char* kHeldPortVariable = "ZANDREL_TEST_HELD_PORT";

TEST(SerialPortClosed, NewObjectHoldsNothingAndRecordsNoEvent) {
    ProbedPort port;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetLastError(), 0);
    EXPECT_EQ(port.TakeEventType(), 0xFFFFFFFFu);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.m_hOverlappedEvent, nullptr);
}

TEST(SerialPortClosed, EveryOperationReportsInvalidHandle) {
    ProbedPort port;
    auto expectInvalidHandle = [&](LONG nResult) {
        EXPECT_EQ(nResult, static_cast<LONG>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(port.GetLastError(), static_cast<LONG>(ERROR_INVALID_HANDLE));
    };
    expectInvalidHandle(port.SetLineSettings(9600, 8, NOPARITY, ONESTOPBIT));
    expectInvalidHandle(port.SetEventChar('\n', true));
    expectInvalidHandle(port.SetEventMask(EV_RXCHAR));
    expectInvalidHandle(port.WaitForEvent(nullptr, 0));
    expectInvalidHandle(port.SetModemLines(true, true));
    // The mode is judged only once the device has been read.
    expectInvalidHandle(port.SetHandshake(4));
    expectInvalidHandle(port.SetReadTimeoutMode(2));

    DWORD dwCount = 77;
    expectInvalidHandle(port.Write("abc", 3, &dwCount, nullptr, INFINITE));
    EXPECT_EQ(dwCount, 0u);
    dwCount = 77;
    char buffer[8];
    expectInvalidHandle(port.Read(buffer, sizeof buffer, &dwCount, nullptr, INFINITE));
    EXPECT_EQ(dwCount, 0u);
    dwCount = 77;
    expectInvalidHandle(port.WriteString("abc", &dwCount, nullptr, INFINITE));
    EXPECT_EQ(dwCount, 0u);

    EXPECT_EQ(port.GetBaudRate(), 0xFFFFFFFFu);
    expectInvalidHandle(port.GetLastError());
    EXPECT_EQ(port.GetDataBits(), -1);
    EXPECT_EQ(port.GetParity(), -1);
    EXPECT_EQ(port.GetStopBits(), -1);
    EXPECT_EQ(port.GetHandshake(), -1);
    EXPECT_EQ(port.GetEventMask(), 0u);
    expectInvalidHandle(port.GetLastError());
    EXPECT_EQ(port.GetEventChar(), 0);
    expectInvalidHandle(port.GetLastError());
}

TEST(SerialPortOpen, MissingDeviceReportsFileNotFoundAndHoldsNothing) {
    ProbedPort port;
    EXPECT_EQ(port.Open("\\\\.\\/dev/zandrel-no-such-tty", kQueueSize, kQueueSize),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(port.GetLastError(), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(port.m_hComm, nullptr);
    EXPECT_EQ(port.m_hOverlappedEvent, nullptr);
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortOpen, OpenAppliesDefaultSettings) {
    testsupport::Pty pty;
    ProbedPort port;
    ASSERT_EQ(port.Open(pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_NE(port.m_hOverlappedEvent, nullptr);

    EXPECT_EQ(port.GetEventMask(), EV_RXCHAR | EV_BREAK | EV_ERR);
    EXPECT_EQ(port.GetBaudRate(), 9600u);
    EXPECT_EQ(port.GetDataBits(), 8);
    EXPECT_EQ(port.GetParity(), NOPARITY);
    EXPECT_EQ(port.GetStopBits(), ONESTOPBIT);
    EXPECT_EQ(port.GetHandshake(), CSerialPort::HandshakeOff);

    const DCB dcb = port.State();
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.fOutxCtsFlow | dcb.fOutxDsrFlow | dcb.fDtrControl | dcb.fRtsControl | dcb.fOutX | dcb.fInX, 0u);

    const COMMTIMEOUTS timeouts = port.Timeouts();
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
}

TEST(SerialPortOpen, SecondOpenIsRefusedAndFirstDeviceStaysUsable) {
    testsupport::Pty pty;
    testsupport::Pty other;
    ProbedPort port;
    ASSERT_EQ(port.Open(pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0);
    const HANDLE hFirst = port.m_hComm;

    EXPECT_EQ(port.Open(other.DeviceName().c_str(), kQueueSize, kQueueSize),
              static_cast<LONG>(ERROR_ALREADY_INITIALIZED));
    EXPECT_EQ(port.GetLastError(), static_cast<LONG>(ERROR_ALREADY_INITIALIZED));
    EXPECT_EQ(port.m_hComm, hFirst);

    EXPECT_EQ(port.WriteString("still", nullptr, nullptr, INFINITE), 0);
    EXPECT_EQ(pty.Receive(5), "still");
}

TEST(SerialPortOpen, PortInUseIsRefusedToAnotherObject) {
    testsupport::Pty pty;
    CSerialPort holder;
    ASSERT_EQ(holder.Open(pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0);

    ProbedPort second;
    EXPECT_EQ(second.Open(pty.DeviceName().c_str(), kQueueSize, kQueueSize), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(second.m_hComm, nullptr);

    EXPECT_EQ(holder.Close(), 0);
    EXPECT_EQ(second.Open(pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0);
}

TEST(SerialPortOpen, PortInUseIsRefusedToAnotherProcess) {
    // Run again as a child process, this test opens the port its parent holds
    // and exits with the result.
    if (const char* pszHeld = std::getenv(kHeldPortVariable)) {
        CSerialPort port;
        _exit(static_cast<int>(port.Open(pszHeld, kQueueSize, kQueueSize)));
    }

    testsupport::Pty pty;
    CSerialPort holder;
    ASSERT_EQ(holder.Open(pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0);

    std::string filter = "--gtest_filter=SerialPortOpen.PortInUseIsRefusedToAnotherProcess";
    std::string self = "/proc/self/exe";
    std::vector<char*> argv = {self.data(), filter.data(), nullptr};
    std::string held = std::string(kHeldPortVariable) + "=" + pty.DeviceName();
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) envp.push_back(*entry);
    envp.push_back(held.data());
    envp.push_back(nullptr);

    pid_t child;
    ASSERT_EQ(posix_spawn(&child, self.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ERROR_ACCESS_DENIED));
}

TEST(SerialPortOpen, ClosedPortCanBeOpenedAgain) {
    testsupport::Pty pty;
    ProbedPort port;
    ASSERT_EQ(port.Open(pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.m_hOverlappedEvent, nullptr);
    EXPECT_EQ(port.Close(), 0);

    ASSERT_EQ(port.Open(pty.DeviceName().c_str(), kQueueSize, kQueueSize), 0);
    EXPECT_EQ(port.WriteString("again", nullptr, nullptr, INFINITE), 0);
    EXPECT_EQ(pty.Receive(5), "again");
}

}  // namespace
