// Opening devices: name mapping, missing devices and why, exclusive use.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "comm_fixture.h"
#include "platform/comm/tty/device_number.h"
#include "platform/kernel/background_close.h"

namespace {

using commtest::OpenDevice;

TEST(OpenPort, MissingDeviceAndForeignNamesFailWithFileNotFoundAndSayWhy) {
    EXPECT_EQ(OpenDevice("\\\\.\\/dev/zandrel-no-such-port"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_STREQ(GetLastErrorText(), "No such file or directory");

    for (const char* name : {"COM1", "\\\\.\\LPT1", "\\\\.\\COM", "\\\\.\\COM0", "\\\\.\\COMx", "\\\\.\\relative/path"}) {
        SetLastError(0);
        EXPECT_EQ(OpenDevice(name), INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << name;
        EXPECT_STREQ(GetLastErrorText(), "not a serial device name") << name;
    }
    SetLastError(0);
    EXPECT_STREQ(GetLastErrorText(), "") << "the words go with the code they came with";
}

TEST(OpenPort, ComNumberInAnyCaseOpensTheDeviceItsVariableNames) {
    testsupport::Pty pty;
    pty.MapAs(23);
    HANDLE port = OpenDevice("\\\\.\\cOm23");
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(port);
}

TEST(OpenPort, PortInUseIsRefusedUntilClosed) {
    testsupport::Pty pty;
    HANDLE first = OpenDevice(pty.DeviceName());
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenDevice(pty.DeviceName()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(first);
    HANDLE again = OpenDevice(pty.DeviceName());
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

// A pty's close never blocks: the device's last close is played by a function
// that waits for the test, filed under the device as CloseHandle files it.
TEST(OpenPort, AnOpenWaitsForTheDevicesLastCloseAndSaysSoWhenItDoesNotEnd) {
    using namespace std::chrono_literals;
    testsupport::Pty pty;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    kernel::StartBackgroundClose(comm::DeviceNumberOf(pty.SlavePath()), pty.SlavePath(), 30s,
                                 [released] { released.wait_for(30s); });

    EXPECT_EQ(OpenDevice(pty.DeviceName()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_STREQ(GetLastErrorText(), "Device or resource busy; its last close has not finished");

    std::thread releaser([&release] {
        std::this_thread::sleep_for(200ms);
        release.set_value();
    });
    HANDLE port = OpenDevice(pty.DeviceName());
    EXPECT_NE(port, INVALID_HANDLE_VALUE) << GetLastErrorText();
    EXPECT_EQ(released.wait_for(0s), std::future_status::ready) << "opened while the last close still ran";
    releaser.join();
    CloseHandle(port);
}

TEST(OpenPort, PortInUseIsRefusedToAnotherProcess) {
    testsupport::Pty pty;
    HANDLE port = OpenDevice(pty.DeviceName());
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HANDLE other = OpenDevice(pty.DeviceName());
        _exit(other == INVALID_HANDLE_VALUE ? static_cast<int>(GetLastError()) : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ERROR_ACCESS_DENIED));
    CloseHandle(port);
}

TEST(OpenPort, OnlyOverlappedOpensOfExistingDevicesAreSupported) {
    testsupport::Pty pty;
    std::string name = pty.DeviceName();
    EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, 2, FILE_FLAG_OVERLAPPED, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(OpenPort, ARegularFileIsNoSerialDevice) {
    char path[] = "/tmp/zandrel-not-a-tty-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(OpenDevice(std::string("\\\\.\\") + path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    close(fd);
    unlink(path);
}

}  // namespace
