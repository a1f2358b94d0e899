// A newcomer finds their port without knowing Linux's device names: the usage
// lists the devices present, a COMn left to its default device that cannot be
// opened names them and the variable to set, and a device the user may not
// open names the group to join.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "platform/win32.h"
#include "support/test_directory.h"

namespace {

using e2e::kTimeoutMs;
// The last line of the usage's switches and ports.
constexpr char kUsageEnd[] = "Ctrl-C stops it.\n";

std::vector<COMMDEVICEINFOA> DevicesHere() {
    std::vector<COMMDEVICEINFOA> devices(EnumCommDevicesA(nullptr, 0));
    devices.resize(EnumCommDevicesA(devices.data(), static_cast<DWORD>(devices.size())));
    return devices;
}

class FindingAPort : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = testsupport::MakeTestDirectory("zandrel-finding");
        unsetenv("ZANDREL_COM9");  // COM9 is left to /dev/ttyS8
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }

    e2e::ChildProcess Run(const std::vector<std::string>& switches, const e2e::ChildProcess::Environment& extra = {}) {
        std::vector<std::string> arguments = {"zandrel"};
        arguments.insert(arguments.end(), switches.begin(), switches.end());
        e2e::ChildProcess::Environment environment = {{"ZANDREL_HEADLESS", "1"}};
        environment.insert(environment.end(), extra.begin(), extra.end());
        return e2e::ChildProcess(ZANDREL_BINARY, arguments, environment, m_dir.string());
    }

    std::filesystem::path m_dir;
};

TEST_F(FindingAPort, UsageEndsWithTheDevicesPresentAndHowToUseOne) {
    e2e::ChildProcess zandrel = Run({});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 2);
    const std::string usage = zandrel.Errors();
    const size_t end = usage.find(kUsageEnd);
    ASSERT_NE(end, std::string::npos) << usage;

    const std::string listed = usage.substr(end + std::strlen(kUsageEnd));
    const std::vector<COMMDEVICEINFOA> devices = DevicesHere();
    if (devices.empty()) {
        EXPECT_EQ(listed, "No serial devices found on this machine.\n");
        return;
    }
    EXPECT_TRUE(listed.starts_with("Serial devices on this machine:\n")) << listed;
    for (const COMMDEVICEINFOA& device : devices)
        EXPECT_NE(listed.find(std::string("\n  ") + device.szPath + ": "), std::string::npos) << listed;
    EXPECT_TRUE(listed.ends_with(std::string("\nTo capture from one: zandrel -c ") + devices[0].szPath +
                                 " -r capture.txt\n"))
        << listed;
}

TEST_F(FindingAPort, ACOMnLeftToItsDefaultNamesTheDevicesHereAndTheVariableToSet) {
    e2e::ChildProcess zandrel = Run({"-c", "9", "-r", PathOf("capture.txt")});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 1);
    const std::string errors = zandrel.Errors();
    const std::string start = "zandrel: cannot open COM9 (/dev/ttyS8): ";
    ASSERT_EQ(errors.substr(0, start.size()), start) << errors;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "one line: " << errors;

    std::vector<COMMDEVICEINFOA> others;
    for (const COMMDEVICEINFOA& device : DevicesHere())
        if (std::string(device.szNode) != "/dev/ttyS8") others.push_back(device);
    if (others.empty()) {
        EXPECT_TRUE(errors.ends_with("; no other serial devices found on this machine; for a port server's, set "
                                    "ZANDREL_COM9=rfc2217://HOST:PORT\n")) << errors;
    } else {
        const std::string node = others[0].szNode;
        EXPECT_NE(errors.find("; devices here: " + node), std::string::npos) << errors;
        EXPECT_NE(errors.find(std::string("ZANDREL_COM9=") + others[0].szPath + "\n"), std::string::npos) << errors;
    }

    // Mapped by a variable, the user has chosen: the reason alone.
    e2e::ChildProcess mapped = Run({"-c", "9", "-r", PathOf("capture.txt")}, {{"ZANDREL_COM9", PathOf("gone")}});
    EXPECT_EQ(mapped.WaitForExit(kTimeoutMs), 1);
    EXPECT_EQ(mapped.Errors(), "zandrel: cannot open COM9 (" + PathOf("gone") + "): No such file or directory\n");
}

// A name that a terminal would act on (retitle, clear) reaches standard error seen, not acted on.
TEST_F(FindingAPort, NamesFromOutsideReachTheConsoleOnlyInAVisibleForm) {
    struct Case {
        const char* what;
        std::vector<std::string> switches;
        e2e::ChildProcess::Environment environment;
        int status;
        std::string told;
    };
    const Case cases[] = {
        {"a device path", {"-c", "9", "-r", PathOf("capture.txt")}, {{"ZANDREL_COM9", "/dev/tty\x1B]0;OWNED\x07"}}, 1,
         "zandrel: cannot open COM9 (/dev/tty\\x1B]0;OWNED\\x07): No such file or directory\n"},
        {"a switch's value", {"-b", "\x1B[2J\r96\xC2\x9B"}, {}, 2,
         "Zandrel: Unsupported Buad Rate\nUnsupported Buad Rate: \\x1B[2J\\x0D96\\xC2\\x9B bps\n"},
    };
    for (const Case& c : cases) {
        e2e::ChildProcess zandrel = Run(c.switches, c.environment);
        EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), c.status) << c.what;
        const std::string errors = zandrel.Errors();
        EXPECT_TRUE(errors.starts_with(c.told)) << c.what << ": " << errors;
        EXPECT_EQ(errors.find_first_of("\x1B\x07\r"), std::string::npos) << c.what << ": " << errors;
    }
}

// A device node owned as serial devices are, root:dialout 0660, and the
// program run as nobody. (The permission is checked before the device is
// reached, so any device does; a pty's slave opens only through devpts, so
// the node is /dev/null's.)
TEST_F(FindingAPort, PermissionDeniedNamesTheGroupToJoin) {
    if (geteuid() != 0) GTEST_SKIP() << "making a device node and running as nobody need root";
    const struct group* dialout = getgrnam("dialout");
    const struct passwd* nobody = getpwnam("nobody");
    if (!dialout || !nobody) GTEST_SKIP() << "no dialout group or nobody user here";
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/setpriv";

    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    const std::string node = PathOf("ttyUSB0");
    if (mknod(node.c_str(), S_IFCHR | 0600, null.st_rdev) != 0)
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    ASSERT_EQ(chown(node.c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(chmod(node.c_str(), 0660), 0);
    const int fd = open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) GTEST_SKIP() << "device nodes cannot be opened in " << m_dir << ": " << std::strerror(errno);
    close(fd);
    std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                            std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                            std::filesystem::perms::others_exec);

    e2e::ChildProcess zandrel(
        "/usr/bin/setpriv",
        {"setpriv", "--reuid=" + std::to_string(nobody->pw_uid), "--regid=" + std::to_string(nobody->pw_gid),
         "--clear-groups", ZANDREL_BINARY, "-c", "5", "-r", PathOf("capture.txt")},
        {{"ZANDREL_HEADLESS", "1"}, {"ZANDREL_COM5", node}}, m_dir.string());
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 1);
    EXPECT_EQ(zandrel.Errors(), "zandrel: cannot open COM5 (" + node +
                                    "): Permission denied; the device belongs to group dialout: sudo usermod -aG "
                                    "dialout $USER, then log in again\n");
}

}  // namespace
