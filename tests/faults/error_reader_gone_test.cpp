// Standard error a pipe whose reader went away (`zandrel ... 2>&1 | head`, a
// closed SSH channel, a logger that restarts): the notices that follow are
// dropped, and the run goes on as if they had been read.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "e2e/file_watch.h"
#include "faults/console_run.h"
#include "faults/stable_name.h"

namespace {

using ErrorReaderGone = faults::ConsoleRun;

TEST_F(ErrorReaderGone, TheRunGoesOnThroughItsNoticesAndLeavesTheDeviceAsFound) {
    faults::StableName name(m_dir / "ttyV0");
    name.PointTo(m_pty);
    const std::string errors = PathOf("errors");
    ASSERT_EQ(mkfifo(errors.c_str(), 0600), 0);
    const int reader = open(errors.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    // The line as a terminal has it, which the job finds and puts back at its end.
    testsupport::Pty replugged;
    termios found{};
    ASSERT_EQ(tcgetattr(replugged.Master(), &found), 0);
    ASSERT_EQ(tcsetattr(m_pty.Master(), TCSANOW, &found), 0);
    const std::string capture = PathOf("cap.txt");
    e2e::ChildProcess& zandrel = Start({"-c", "3", "-r", capture}, errors, name.Path());
    close(reader);
    // The job is running once data reaches its file (the line's open event
    // comes before the job has set the line up).
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    m_pty.Send("before");
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture) == "before"; }, faults::kTimeoutMs));

    // The far end closes: "disconnected" goes to the pipe no one reads, then
    // the device comes back and the capture goes on.
    m_pty.CloseMaster();
    e2e::FileWatch opened(replugged.SlavePath(), IN_OPEN);
    name.PointTo(replugged);
    ASSERT_TRUE(opened.WaitUntil([&] { return opened.Events() > 0; }, faults::kTimeoutMs));
    replugged.Send("after");
    EXPECT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture) == "beforeafter"; }, faults::kTimeoutMs));

    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    termios after{};
    ASSERT_EQ(tcgetattr(replugged.Master(), &after), 0);
    EXPECT_EQ(after.c_lflag, found.c_lflag);
    EXPECT_EQ(after.c_iflag, found.c_iflag);
}

}  // namespace
