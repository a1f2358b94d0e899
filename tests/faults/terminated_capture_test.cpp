// SIGTERM during a capture: the run ends at once with status 0, every pass it
// completed is on disk in both files and none is cut short, and bytes the port
// received but had not announced yet still reach both files.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>

#include "e2e/file_watch.h"
#include "faults/console_run.h"
#include "faults/far_end.h"

namespace {

class TerminatedCapture : public faults::ConsoleRun {
protected:
    std::string Capture() const { return PathOf("cap.txt"); }
    std::string Companion() const { return PathOf("cap_asci.txt"); }
    e2e::ChildProcess& StartCapture() { return Start({"-c", "3", "-b", "115200", "-r", Capture()}); }
};

// The first count bytes of what the far end sends.
std::string PatternOf(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = faults::Pattern(i);
    return bytes;
}

TEST_F(TerminatedCapture, MidBurstEveryCompletedPassIsOnDiskAndNoneIsPartial) {
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess& zandrel = StartCapture();
    // About 128 KiB/s, faster than a 115200 baud line, for at most 8 seconds.
    faults::FarEnd farEnd(m_pty.Master(), 1 << 20, 256, 2);
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(Capture()).size() >= 64 * 1024; }, faults::kTimeoutMs));

    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    farEnd.Stop();
    EXPECT_LT(farEnd.Sent(), size_t{1} << 20);  // the burst was still going

    const std::string captured = e2e::ReadFile(Capture());
    ASSERT_GE(captured.size(), 64u * 1024);
    EXPECT_TRUE(captured == PatternOf(captured.size())) << "the capture is not the start of what was sent";
    EXPECT_TRUE(e2e::ReadFile(Companion()) == faults::CodesOf(captured))
        << "the companion does not hold the codes of exactly the captured bytes";
}

TEST_F(TerminatedCapture, RightAfterABurstEveryByteOfItIsOnDisk) {
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess& zandrel = StartCapture();
    const std::string burst = PatternOf(3000);
    m_pty.Send(burst.substr(0, 1));
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(Capture()).size() == 1; }, faults::kTimeoutMs));

    m_pty.Send(burst.substr(1));
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_TRUE(e2e::ReadFile(Capture()) == burst) << e2e::ReadFile(Capture()).size() << " of " << burst.size();
    EXPECT_TRUE(e2e::ReadFile(Companion()) == faults::CodesOf(burst));
}

}  // namespace
