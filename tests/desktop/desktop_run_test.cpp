// The window driven as a user drives it, on a real X server (Xvfb) under a
// window manager (openbox), with real key events (xdotool): a switch that is
// refused raises a message box, centred on the window and answered with
// Enter; every combo box is
// typed into, and the flow control picked from its list with the keys and
// with the mouse; Write to Port, Stop and Capture To File are pressed; the bytes
// are checked at the far end of a pseudo-terminal, and the window is closed
// with Alt+F4, which the window manager turns into the close box. The About
// box opens centred over the window.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "desktop/desktop_test.h"
#include "e2e/child_process.h"
#include "e2e/file_watch.h"

namespace {

using desktoptest::kTimeoutMs;

class DesktopRun : public desktoptest::DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (!Ready()) return;
        StartDisplay();
        StartWindowManager();
    }
    void TearDown() override {
        m_windowManager.reset();
        m_display.reset();
        DesktopTest::TearDown();
    }

    e2e::ChildProcess::Environment Desktop() const {
        return {{"DISPLAY", m_displayName}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""},
                {"ZANDREL_HEADLESS", ""},   {"HOME", m_dir.string()}, {"XDG_RUNTIME_DIR", m_dir.string()}};
    }

    // Xvfb picks a free display and names it on the descriptor given.
    void StartDisplay() {
        const std::string out = OutputDir("xvfb");
        m_display = std::make_unique<e2e::ChildProcess>(
            "/usr/bin/Xvfb",
            std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
            e2e::ChildProcess::Environment{}, out);
        e2e::FileWatch named(out + "/stdout", IN_MODIFY);
        ASSERT_TRUE(named.WaitUntil([&] { return m_display->Output().find('\n') != std::string::npos; }, kTimeoutMs))
            << m_display->Errors();
        std::string number = m_display->Output();
        m_displayName = ":" + number.substr(0, number.find('\n'));
    }

    // Openbox runs its start-up command once it manages the screen.
    void StartWindowManager() {
        const std::string ready = PathOf("wm-ready");
        e2e::FileWatch created(m_dir.string(), IN_CREATE);
        m_windowManager = std::make_unique<e2e::ChildProcess>(
            "/usr/bin/openbox", std::vector<std::string>{"openbox", "--sm-disable", "--startup", "touch " + ready},
            Desktop(), OutputDir("openbox"));
        ASSERT_TRUE(created.WaitUntil([&] { return std::filesystem::exists(ready); }, kTimeoutMs))
            << m_windowManager->Errors();
    }

    // Runs xdotool to its end and gives what it printed. A search walks the
    // window tree while windows come and go, and then fails with BadWindow:
    // that one is run again.
    std::string Xdo(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "xdotool");
        for (int attempt = 1;; ++attempt) {
            e2e::ChildProcess xdotool("/usr/bin/xdotool", arguments, Desktop(), OutputDir("xdotool"));
            std::optional<int> status = xdotool.WaitForExit(kTimeoutMs);
            const bool raced = status != 0 && xdotool.Errors().find("BadWindow") != std::string::npos;
            if (raced && attempt < 5) continue;
            EXPECT_EQ(status, 0) << "xdotool " << arguments[1] << ": " << xdotool.Errors();
            std::string printed = xdotool.Output();
            return printed.substr(0, printed.find('\n'));
        }
    }

    // Waits for the window with this exact title, makes it the active one and gives its id.
    std::string Activate(const std::string& title) {
        std::string id = Xdo({"search", "--sync", "--onlyvisible", "--name", "^" + title + "$"});
        EXPECT_FALSE(id.empty()) << title;
        if (!id.empty()) Xdo({"windowactivate", "--sync", id});
        return id;
    }

    // A window's client area, as xdotool gives it: X, Y, WIDTH and HEIGHT.
    std::map<std::string, int> Geometry(const std::string& id) {
        e2e::ChildProcess xdotool("/usr/bin/xdotool", {"xdotool", "getwindowgeometry", "--shell", id}, Desktop(),
                                  OutputDir("xdotool"));
        EXPECT_EQ(xdotool.WaitForExit(kTimeoutMs), 0) << xdotool.Errors();
        std::map<std::string, int> values;
        std::istringstream lines(xdotool.Output());
        for (std::string line; std::getline(lines, line);)
            if (size_t at = line.find('='); at != std::string::npos)
                values[line.substr(0, at)] = std::atoi(line.c_str() + at + 1);
        return values;
    }

    // The centre of a window's client area on the screen.
    std::pair<int, int> Centre(const std::string& id) {
        std::map<std::string, int> values = Geometry(id);
        return {values["X"] + values["WIDTH"] / 2, values["Y"] + values["HEIGHT"] / 2};
    }

    void Keys(const std::vector<std::string>& keys) {
        std::vector<std::string> arguments{"key", "--clearmodifiers"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        Xdo(arguments);
    }
    // Selects what the focused field holds and types over it.
    void TypeOver(const std::string& text) {
        Keys({"ctrl+a"});
        Xdo({"type", "--delay", "5", text});
    }
    void Tab(int times) { Keys(std::vector<std::string>(static_cast<size_t>(times), "Tab")); }

    // A click at a point of the dialog template, in dialog units: the window's
    // client area is the template's 381 x 191 units.
    void ClickAt(const std::string& window, double x, double y) {
        std::map<std::string, int> values = Geometry(window);
        const int px = static_cast<int>(x * values["WIDTH"] / 381);
        const int py = static_cast<int>(y * values["HEIGHT"] / 191);
        Xdo({"mousemove", "--sync", "--window", window, std::to_string(px), std::to_string(py)});
        Xdo({"click", "1"});
    }
    // Opens a Port Details box's list with its arrow and clicks its entry: the
    // list opens under the box (about 12.5 units high), a line of text (8 units) per entry.
    void PickWithMouse(const std::string& window, int boxTop, int entry) {
        ClickAt(window, 362, boxTop + 6);
        ClickAt(window, 300, boxTop + 12.5 + (entry + 0.5) * 8);
    }

    std::unique_ptr<e2e::ChildProcess> m_display;
    std::unique_ptr<e2e::ChildProcess> m_windowManager;
    std::string m_displayName;
};

TEST_F(DesktopRun, TypedSettingsPressedButtonsAndBytesAtTheFarEnd) {
    const std::string send = PathOf("send.txt");
    const std::string capture = PathOf("capture.txt");
    std::ofstream(send, std::ios::binary) << "typed by hand";
    e2e::ChildProcess::Environment environment = Desktop();
    environment.emplace_back("ZANDREL_COM3", "/dev/null/not-a-port");
    // -b 1 is refused with a message box; the others fill the dialog.
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel", "-c", "3", "-b", "1", "-l", "n", "-m", "105"}, environment,
                              OutputDir("zandrel"));

    const std::string box = Activate("Zandrel: Unsupported Buad Rate");
    // Raised before the window manager placed the window, and centred on it all the same.
    auto [boxX, boxY] = Centre(box);
    auto [windowX, windowY] = Centre(Xdo({"search", "--onlyvisible", "--name", "^Zandrel$"}));
    EXPECT_NEAR(boxX, windowX, 2);
    EXPECT_NEAR(boxY, windowY, 2);
    Keys({"Return"});
    // The window manager gives the window back only once the modal box is gone.
    Activate("Zandrel");

    // From Write to Port, the first tab stop: Stop, the send file, its browse
    // button, then the five combo boxes of Port Details.
    Tab(2);
    TypeOver(send);
    Tab(2);
    TypeOver(m_pty.SlavePath());  // the port box takes a device path
    for (const char* setting : {"19200", "EVENPARITY", "7", "2"}) {
        Tab(1);
        TypeOver(setting);
    }
    // Flow Control and Modem Lines picked from their lists with the arrow keys.
    Tab(1);
    Keys({"Down", "Down"});  // None, XON/XOFF, RTS/CTS
    Tab(1);
    Keys({"Down"});  // Off, DTR on
    // Capture To File, the capture file, its browse button, the time delay.
    Tab(2);
    TypeOver(capture);
    Tab(2);
    TypeOver("5");
    Tab(3);  // past Loop (unticked by -l n) and Arrival Times to Write to Port
    Keys({"space"});
    EXPECT_EQ(m_pty.Receive(13, kTimeoutMs), "typed by hand");
    // The port is held until Stop, with the flow control picked.
    termios line{};
    ASSERT_EQ(tcgetattr(m_pty.Master(), &line), 0);
    EXPECT_NE(line.c_cflag & CRTSCTS, 0u);

    // Write to Port, disabled while its job is on, passed the focus to Stop.
    Keys({"space"});
    // From Stop to Capture To File: the send file, its browse button, seven combo boxes.
    Tab(10);
    Keys({"space"});
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    m_pty.Send("far end");
    // The companion is written after the capture file, in the same pass.
    const std::string codes = "102|97|114|32|101|110|100|";
    EXPECT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(PathOf("capture_asci.txt")) == codes; }, kTimeoutMs))
        << e2e::ReadFile(PathOf("capture_asci.txt"));
    EXPECT_EQ(e2e::ReadFile(capture), "far end");

    Keys({"alt+F4"});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0) << zandrel.Errors();
    EXPECT_EQ(zandrel.Errors(), "");
}

// Flow control picked from its list with the mouse, and Write to Port
// clicked: the port holds the file while the far end says XOFF.
TEST_F(DesktopRun, FlowControlPickedWithTheMouseIsThePortsMode) {
    const std::string send = PathOf("send.txt");
    std::string text;
    for (int n = 10; n <= 100; n += 10) text += "N" + std::to_string(n) + " G01 X" + std::to_string(n) + " Y20\n";
    std::ofstream(send, std::ios::binary) << text;
    e2e::ChildProcess::Environment environment = Desktop();
    environment.emplace_back("ZANDREL_COM3", m_pty.SlavePath());
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel", "-c", "3", "-m", "5", "-l", "n"}, environment,
                              OutputDir("zandrel"));
    const std::string window = Activate("Zandrel");
    Tab(2);
    TypeOver(send);
    PickWithMouse(window, 122, 1);  // Flow Control: XON/XOFF
    ClickAt(window, 169, 52);       // Write to Port

    std::string got = m_pty.Receive(10, kTimeoutMs);
    ASSERT_EQ(got, text.substr(0, 10));
    m_pty.Send("\x13");
    // What was on its way when the XOFF went; then nothing until XON.
    got += m_pty.ReceiveFor(300);
    EXPECT_LT(got.size(), text.size());
    EXPECT_EQ(m_pty.ReceiveFor(500), "");
    m_pty.Send("\x11");
    got += m_pty.Receive(text.size() - got.size(), kTimeoutMs);
    EXPECT_EQ(got, text);

    Keys({"alt+F4"});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0) << zandrel.Errors();
}

// Arrival Times ticked with the mouse, then Capture To File clicked: the
// capture writes its _time companion beside the other two.
TEST_F(DesktopRun, ArrivalTimesTickedWithTheMouseGiveTheCaptureItsTimes) {
    const std::string capture = PathOf("capture.txt");
    e2e::ChildProcess::Environment environment = Desktop();
    environment.emplace_back("ZANDREL_COM3", m_pty.SlavePath());
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel", "-c", "3"}, environment, OutputDir("zandrel"));
    const std::string window = Activate("Zandrel");
    Tab(12);  // from Write to Port to the capture file
    TypeOver(capture);
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    ClickAt(window, 20, 133);   // Arrival Times
    ClickAt(window, 165, 133);  // Capture To File
    EXPECT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(PathOf("capture_time.txt")).find("start") != std::string::npos; },
                                  kTimeoutMs));
    m_pty.Send("far end");
    EXPECT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(PathOf("capture_time.txt")).find(",0,7,\n") != std::string::npos; },
                                  kTimeoutMs))
        << e2e::ReadFile(PathOf("capture_time.txt"));
    EXPECT_EQ(e2e::ReadFile(capture), "far end");

    Keys({"alt+F4"});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0) << zandrel.Errors();
    EXPECT_TRUE(e2e::ReadFile(PathOf("capture_time.txt")).ends_with(",7,0,end\n"));
}

TEST_F(DesktopRun, AboutBoxOpensCentredOverTheWindow) {
    e2e::ChildProcess zandrel(ZANDREL_BINARY, {"zandrel"}, Desktop(), OutputDir("zandrel"));
    const std::string window = Activate("Zandrel");
    // Elsewhere than where a new window would go by itself.
    Xdo({"windowmove", "--sync", window, "300", "250"});
    Keys({"F1"});
    auto [boxX, boxY] = Centre(Activate("About Zandrel"));
    auto [windowX, windowY] = Centre(window);
    EXPECT_NEAR(boxX, windowX, 2);
    EXPECT_NEAR(boxY, windowY, 2);
    Keys({"Return"});
    Activate("Zandrel");
    Keys({"alt+F4"});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0) << zandrel.Errors();
}

}  // namespace
