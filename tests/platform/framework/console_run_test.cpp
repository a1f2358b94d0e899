// The console run: what it prints, its exit status, and signals closing the
// main window as its close box does.
#include <gtest/gtest.h>

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/framework/signal_watch.h"
#include "platform/framework/headless/console_run.h"
#include "platform/framework/headless/headless.h"
#include "test_resources.h"

namespace {

// Runs `action` with standard error going to a file; returns what was written.
template <class Action>
std::string CaptureStandardError(Action action) {
    std::fflush(stderr);
    FILE* file = std::tmpfile();
    int saved = dup(STDERR_FILENO);
    dup2(fileno(file), STDERR_FILENO);
    action();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string written;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) written += static_cast<char>(c);
    std::fclose(file);
    return written;
}

class ConsoleRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(headless::CreateMessageWindow(owner)); }
    CWnd owner;
};

// Standard error has its own writer: what a run printed is all there once the run has ended.
TEST_F(ConsoleRun, MessageBoxPrintsCaptionAndTextAndExitsTwo) {
    int status = -1;
    std::string printed = CaptureStandardError([&] {
        headless::UseConsole();
        owner.MessageBox("File not found.", "Zandrel: Test");
        status = headless::FinishConsoleRun();
    });
    EXPECT_EQ("Zandrel: Test\nFile not found.\n", printed);
    EXPECT_EQ(2, status);
}

TEST_F(ConsoleRun, AJobFaultIsPrintedAndTheRunExitsOne) {
    int status = -1;
    std::string printed = CaptureStandardError([&] {
        headless::UseConsole();
        AfxReportJobFault("cannot write cap.txt: No space left on device");
        status = headless::FinishConsoleRun();
    });
    EXPECT_EQ(std::string(program_invocation_short_name) + ": cannot write cap.txt: No space left on device\n",
              printed);
    EXPECT_EQ(1, status);
}

TEST_F(ConsoleRun, RunWithoutTroubleExitsZeroAndPrintsNothing) {
    int status = -1;
    EXPECT_EQ("", CaptureStandardError([&] {
        headless::UseConsole();
        status = headless::FinishConsoleRun();
    }));
    EXPECT_EQ(0, status);
}

// Clears the variables that choose between console and window, and puts
// them back when it goes.
class ClearedRunVariables {
public:
    ClearedRunVariables() {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    ~ClearedRunVariables() {
        for (const auto& [name, value] : m_saved)
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }

private:
    static constexpr const char* kNames[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "ZANDREL_HEADLESS",
                                             "ZANDREL_WINDOW"};
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

TEST(RunChoice, ConsoleWithoutDisplayOrQtPlatformOrWhenForced) {
    ClearedRunVariables cleared;
    EXPECT_TRUE(AfxIsHeadless());
    setenv("DISPLAY", "", 1);
    EXPECT_TRUE(AfxIsHeadless()) << "an empty DISPLAY names no display";
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    EXPECT_FALSE(AfxIsHeadless());
    unsetenv("WAYLAND_DISPLAY");
    for (const char* shown : {"vnc", "linuxfb:fb=/dev/fb1", "eglfs", "xcb", "wayland-egl"}) {
        setenv("QT_QPA_PLATFORM", shown, 1);
        EXPECT_FALSE(AfxIsHeadless()) << shown << " shows the window without a display";
    }
    setenv("DISPLAY", ":0", 1);
    for (const char* unseen : {"offscreen", "minimal", "minimal;xcb"}) {
        setenv("QT_QPA_PLATFORM", unseen, 1);
        EXPECT_TRUE(AfxIsHeadless()) << unseen << " draws nowhere a user sees, display or not";
    }
    setenv("ZANDREL_WINDOW", "1", 1);
    EXPECT_FALSE(AfxIsHeadless()) << "the window asked for";
    setenv("ZANDREL_HEADLESS", "1", 1);
    EXPECT_TRUE(AfxIsHeadless());
}

class MainWindow : public CDialog {
public:
    MainWindow() : CDialog(testres::kDialog) {}
    std::vector<UINT> systemCommands;

protected:
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam) {
        systemCommands.push_back(nID);
        CDialog::OnSysCommand(nID, lParam);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MainWindow, CDialog)
    ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

TEST(Signals, TerminationSignalClosesTheMainWindowLikeItsCloseBox) {
    headless::Use(false);
    MainWindow window;
    ASSERT_TRUE(headless::Create(window));
    testres::g_app.m_pMainWnd = &window;
    SignalWatch::BlockSignals();
    {
        SignalWatch watch;
        kill(getpid(), SIGHUP);
        EXPECT_TRUE(headless::DispatchUntil([&] { return headless::EndResult(window).has_value(); }, 5000));
    }
    EXPECT_EQ(std::vector<UINT>{SC_CLOSE}, window.systemCommands);
    EXPECT_EQ(IDCANCEL, headless::EndResult(window));
    testres::g_app.m_pMainWnd = nullptr;
}

}  // namespace
