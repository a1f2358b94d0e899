// SIGTERM while a burst is being captured: the run ends at once with status 0,
// every pass it completed is on disk in both files, and no pass is cut short.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>

#include "e2e/file_watch.h"
#include "faults/console_run.h"
#include "faults/far_end.h"

namespace {

using TerminatedMidBurst = faults::ConsoleRun;

TEST_F(TerminatedMidBurst, EveryCompletedPassIsOnDiskAndNoneIsPartial) {
    const std::string capture = PathOf("cap.txt");
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess& zandrel = Start({"-c", "3", "-b", "115200", "-r", capture});
    // About 128 KiB/s, faster than a 115200 baud line, for at most 8 seconds.
    faults::FarEnd farEnd(m_pty.Master(), 1 << 20, 256, 2);
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture).size() >= 64 * 1024; }, faults::kTimeoutMs));

    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    farEnd.Stop();
    EXPECT_LT(farEnd.Sent(), size_t{1} << 20);  // the burst was still going

    const std::string captured = e2e::ReadFile(capture);
    ASSERT_GE(captured.size(), 64u * 1024);
    std::string expected(captured.size(), '\0');
    for (size_t i = 0; i < expected.size(); ++i) expected[i] = faults::Pattern(i);
    EXPECT_TRUE(captured == expected) << "the capture is not the start of what was sent";
    EXPECT_TRUE(e2e::ReadFile(PathOf("cap_asci.txt")) == faults::CodesOf(captured))
        << "the companion does not hold the codes of exactly the captured bytes";
}

}  // namespace
