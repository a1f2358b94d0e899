// SIGTERM the moment a burst has gone out: bytes the port received but had not
// announced yet still reach both files before the run ends.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>

#include "e2e/file_watch.h"
#include "faults/console_run.h"
#include "faults/far_end.h"

namespace {

using TerminatedAfterBurst = faults::ConsoleRun;

TEST_F(TerminatedAfterBurst, EveryByteOfTheBurstIsOnDisk) {
    const std::string capture = PathOf("cap.txt");
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess& zandrel = Start({"-c", "3", "-b", "115200", "-r", capture});
    std::string burst(3000, '\0');
    for (size_t i = 0; i < burst.size(); ++i) burst[i] = faults::Pattern(i);
    m_pty.Send(burst.substr(0, 1));
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture).size() == 1; }, faults::kTimeoutMs));

    m_pty.Send(burst.substr(1));
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_TRUE(e2e::ReadFile(capture) == burst) << e2e::ReadFile(capture).size() << " of " << burst.size();
    EXPECT_TRUE(e2e::ReadFile(PathOf("cap_asci.txt")) == faults::CodesOf(burst));
}

}  // namespace
