// A port already in use by another process: a second run, and a capture
// started from the dialog, fail to open it without harm, and the first run
// goes on capturing.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>

#include "e2e/file_watch.h"
#include "faults/console_run.h"
#include "platform/framework/headless/headless.h"
#include "ui/zandrel_dlg.h"

namespace {

using PortInUse = faults::ConsoleRun;

TEST_F(PortInUse, ASecondOpenFailsCleanlyAndTheFirstKeepsCapturing) {
    const std::string capture = PathOf("cap.txt");
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess& first = Start({"-c", "3", "-r", capture});

    e2e::ChildProcess& second = Start({"-c", "3", "-r", PathOf("other.txt")});
    EXPECT_EQ(second.WaitForExit(faults::kTimeoutMs), 1);
    EXPECT_NE(second.Errors().find("cannot open COM3 (" + m_pty.SlavePath() + "): Device or resource busy\n"),
              std::string::npos)
        << second.Errors();

    // The same from a dialog in this process: nothing shown, the buttons stay usable.
    headless::Use(true);
    m_pty.MapAs(3);
    {
        CZandrelDlg dlg;
        ASSERT_TRUE(headless::Create(dlg));
        headless::RunUntilIdle();
        headless::Type(dlg, IDC_COM_PORT, "COM3");
        headless::Type(dlg, IDC_CAPTURE_FILE, PathOf("mine.txt").c_str());
        headless::Click(dlg, IDC_CAPTURE_TO_FILE);
        EXPECT_TRUE(headless::TakeMessageBoxes().empty());
        EXPECT_TRUE(headless::ControlEnabled(dlg, IDC_CAPTURE_TO_FILE));
        EXPECT_FALSE(dlg.IsBusy());
        headless::Destroy(dlg);
    }

    m_pty.Send("still here");
    EXPECT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture) == "still here"; }, faults::kTimeoutMs));
    first.Signal(SIGTERM);
    EXPECT_EQ(first.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_FALSE(std::filesystem::exists(PathOf("other.txt")));
    EXPECT_FALSE(std::filesystem::exists(PathOf("mine.txt")));
}

}  // namespace
