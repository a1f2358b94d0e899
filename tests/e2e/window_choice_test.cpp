// Which run the program chooses, and what Qt is given: a window only where a
// user can see it, the console when the display cannot be reached, and none
// of the program's switches taken by Qt as its own.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_directory.h"
#include "e2e/child_process.h"
#include "e2e/file_watch.h"
#include "support/pty.h"

namespace {

using e2e::kTimeoutMs;

bool WindowBuilt() {
    return std::filesystem::exists(std::filesystem::path(ZANDREL_BINARY).parent_path() / "zandrel-qt.so");
}

// An X display number with no server behind it on this machine.
std::string UnusedDisplay() {
    int number = 77;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number))) ++number;
    return ":" + std::to_string(number);
}

class WindowChoice : public ::testing::Test {
protected:
    void SetUp() override {
        if (!WindowBuilt()) GTEST_SKIP() << "built without the window";
        ASSERT_TRUE(m_pty.MakeRaw());
        m_dir = testsupport::MakeTestDirectory("zandrel-choice");
        chmod(m_dir.c_str(), 0700);  // fit as Qt's runtime directory
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }

    // The program with the port on COM3 and no display, console or window
    // chosen by the caller's variables.
    e2e::ChildProcess Run(std::vector<std::string> switches, e2e::ChildProcess::Environment environment,
                          const std::string& program = ZANDREL_BINARY) {
        switches.insert(switches.begin(), "zandrel");
        for (const char* name : {"ZANDREL_HEADLESS", "ZANDREL_WINDOW", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            if (std::none_of(environment.begin(), environment.end(), [&](const auto& e) { return e.first == name; }))
                environment.emplace_back(name, "");
        environment.emplace_back("ZANDREL_COM3", m_pty.SlavePath());
        environment.emplace_back("XDG_RUNTIME_DIR", m_dir.string());
        return e2e::ChildProcess(program, switches, environment, m_dir.string());
    }

    // The program copied into a directory of its own: alone, as a console
    // package installs it, or with the window module and a qt.conf that gives
    // Qt a plugin directory holding only its minimal platform: a Qt without
    // the plugin a display needs.
    std::string Copied(const char* install, bool window) {
        namespace fs = std::filesystem;
        const fs::path dir = m_dir / install;
        const fs::path built = fs::path(ZANDREL_BINARY).parent_path();
        fs::create_directories(dir / "plugins/platforms");
        fs::copy_file(ZANDREL_BINARY, dir / "zandrel");
        if (window) {
            fs::copy_file(built / "zandrel-qt.so", dir / "zandrel-qt.so");
            fs::create_symlink(ZANDREL_QT_MINIMAL, dir / "plugins/platforms/libqminimal.so");
            std::ofstream(dir / "qt.conf") << "[Paths]\nPlugins = " << (dir / "plugins").string() << "\n";
        }
        return (dir / "zandrel").string();
    }

    testsupport::Pty m_pty;
    std::filesystem::path m_dir;
};

// -platform, -display, -style, -stylesheet and -reverse are Qt's options, but
// here parity, data bits, stop bits twice and a capture file.
TEST_F(WindowChoice, QtTakesNoneOfTheSwitches) {
    e2e::FileWatch lineOpened(m_pty.SlavePath(), IN_OPEN);
    e2e::ChildProcess zandrel =
        Run({"-c", "3", "-platform", "n", "-display", "8", "-style", "2", "-stylesheet", "1", "-reverse",
             PathOf("b.txt")},
            {{"QT_QPA_PLATFORM", "offscreen"}, {"ZANDREL_WINDOW", "1"}, {"ZANDREL_SCREENSHOT", PathOf("shot.png")}});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
    EXPECT_EQ(zandrel.Errors(), "");
    lineOpened.WaitUntil([] { return false; }, 0);
    EXPECT_GT(lineOpened.Events(), 0) << "the capture named by -reverse did not open the port";
}

TEST_F(WindowChoice, UnreachableDisplayFallsBackToTheConsoleSayingWhyOnce) {
    const std::string send = PathOf("send.txt");
    std::ofstream(send, std::ios::binary) << "sent";
    const std::string display = UnusedDisplay();
    const struct {
        e2e::ChildProcess::Environment environment;
        std::string why;
    } cases[] = {
        {{{"DISPLAY", display}}, "could not connect to display " + display},
        {{{"WAYLAND_DISPLAY", "wl-nothere"}}, "cannot connect to the Wayland display wl-nothere"},
    };
    for (const auto& c : cases) {
        e2e::ChildProcess zandrel = Run({"-c", "3", "-m", "5", "-l", "n", "-w", send}, c.environment);
        EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
        EXPECT_EQ(m_pty.Receive(4, kTimeoutMs), "sent");
        EXPECT_EQ(zandrel.Errors(), "zandrel: no window (" + c.why + "); running on the console\n");
    }
}

// Without a switch a console run has nothing to do, whatever kept the window
// from coming: the usage and its status, and what to install when that is why.
TEST_F(WindowChoice, NoSwitchesWithoutAWindowShowTheUsageAndWhatToInstall) {
    const std::string display = UnusedDisplay();
    const struct {
        const char* what;
        e2e::ChildProcess::Environment environment;
        std::string program;
        std::string said;  // the line before the usage
    } cases[] = {
        {"an unreachable display", {{"DISPLAY", display}}, ZANDREL_BINARY,
         "zandrel: no window (could not connect to display " + display + ")\n"},
        {"Wayland without its plugin", {{"WAYLAND_DISPLAY", "wayland-77"}}, Copied("qt-without-wayland", true),
         "zandrel: no window (Could not find the Qt platform plugin \"wayland\" in \"\"; install qt6-wayland)\n"},
        {"X without its plugin", {{"DISPLAY", display}}, Copied("qt-without-xcb", true),
         "zandrel: no window (Could not find the Qt platform plugin \"xcb\" in \"\"; install libqt6gui6)\n"},
        {"the console package alone", {{"DISPLAY", display}}, Copied("console-only", false),
         "zandrel: no window (the window is not installed; install the package zandrel)\n"},
    };
    for (const auto& c : cases) {
        e2e::ChildProcess zandrel = Run({}, c.environment, c.program);
        EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 2) << c.what;
        EXPECT_TRUE(zandrel.Errors().starts_with(c.said + "Usage: zandrel")) << c.what << ":\n" << zandrel.Errors();
    }
}

// A box on the offscreen platform is drawn nowhere: without ZANDREL_WINDOW=1
// the run is the console's, where the box is printed and answered.
TEST_F(WindowChoice, OffscreenPlatformRunsOnTheConsoleUnlessTheWindowIsAskedFor) {
    e2e::ChildProcess zandrel = Run({"-b", "11"}, {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 2);
    EXPECT_NE(zandrel.Errors().find("Zandrel: Unsupported Buad Rate"), std::string::npos) << zandrel.Errors();
}

}  // namespace
