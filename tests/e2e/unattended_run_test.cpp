// The real program run unattended on the console, its port a pseudo-terminal
// mapped as COM3: a capture until SIGTERM, a write to the end of its file,
// refused line settings, and the exit statuses of rejected switches, a missing
// port and no switches.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_directory.h"
#include "e2e/child_process.h"
#include "e2e/file_watch.h"
#include "support/pty.h"

namespace {

using e2e::kTimeoutMs;

class UnattendedRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.MakeRaw());

        m_dir = testsupport::MakeTestDirectory("zandrel-e2e");
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }

    e2e::ChildProcess Run(std::vector<std::string> switches, const char* argv0 = "zandrel") {
        switches.insert(switches.begin(), argv0);
        return e2e::ChildProcess(ZANDREL_BINARY, switches,
                                 {{"ZANDREL_HEADLESS", "1"},
                                  {"ZANDREL_COM3", m_pty.SlavePath()},
                                  {"ZANDREL_COM4", PathOf("no-such-port")}},
                                 m_dir.string());
    }

    testsupport::Pty m_pty;
    std::filesystem::path m_dir;
};

TEST_F(UnattendedRun, CaptureKeepsWhatArrivesUntilTerminated) {
    const std::string capture = PathOf("capture.txt");
    e2e::FileWatch lineOpened(m_pty.SlavePath(), IN_OPEN);
    e2e::FileWatch filesClosed(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess zandrel = Run({"-c", "3", "-b", "115200", "-r", capture});
    ASSERT_TRUE(lineOpened.WaitUntil([&] { return lineOpened.Events() > 0; }, kTimeoutMs));

    m_pty.Send("Hi\xC1\n");
    EXPECT_TRUE(filesClosed.WaitUntil([&] { return e2e::ReadFile(PathOf("capture_asci.txt")) == "72|105|65|10|"; },
                                      kTimeoutMs));
    m_pty.Send("!");
    EXPECT_TRUE(filesClosed.WaitUntil(
        [&] { return e2e::ReadFile(PathOf("capture_asci.txt")) == "72|105|65|10|33|"; }, kTimeoutMs));

    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
    EXPECT_EQ(e2e::ReadFile(capture), "Hi\xC1\n!");
}

TEST_F(UnattendedRun, WriteSendsTheFileAndEnds) {
    const std::string send = PathOf("send.txt");
    const std::string text = "Hello, port!\n\x7F\xE9 the end";
    std::ofstream(send, std::ios::binary) << text;
    e2e::ChildProcess zandrel = Run({"-c", "3", "-m", "5", "-l", "n", "-w", send});
    EXPECT_EQ(m_pty.Receive(text.size(), kTimeoutMs), text);
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
}

// With -a y a capture writes its _time companion, ended by its end row at SIGTERM,
// and a write replays it, every byte value as it came, then ends; a companion
// that does not match its file is told with status 2 and nothing is sent.
TEST_F(UnattendedRun, ArrivalTimesRecordACaptureAndReplayIt) {
    const std::string capture = PathOf("capture.txt");
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    e2e::FileWatch filesClosed(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess capturing = Run({"-a", "y", "-c", "3", "-r", capture});
    // Sent once the line runs raw (its start row is written after): a tty's
    // own line discipline would take DEL and XOFF as its own.
    ASSERT_TRUE(filesClosed.WaitUntil([&] { return e2e::ReadFile(PathOf("capture_time.txt")).find("start") != std::string::npos; },
                                      kTimeoutMs));
    m_pty.Send(bytes);
    EXPECT_TRUE(filesClosed.WaitUntil([&] { return e2e::ReadFile(capture).size() == 256; }, kTimeoutMs));
    capturing.Signal(SIGTERM);
    EXPECT_EQ(capturing.WaitForExit(kTimeoutMs), 0);
    const std::string rows = e2e::ReadFile(PathOf("capture_time.txt"));
    EXPECT_TRUE(rows.starts_with("time,offset,bytes,event\n")) << rows;
    // The start row first, then the data in time order, none before it.
    const size_t startRow = rows.find(",0,0,start " + m_pty.SlavePath() + " 9600 8N1\n");
    EXPECT_EQ(rows.find('\n', startRow), rows.find('\n', rows.find('\n') + 1)) << rows;
    std::vector<std::string> times;
    for (size_t line = rows.find('\n') + 1; line < rows.size(); line = rows.find('\n', line) + 1)
        times.push_back(rows.substr(line, 27));
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << rows;
    EXPECT_TRUE(rows.ends_with(",256,0,end\n")) << rows;

    // Read once the line is open again: until then the master, its line closed, reads as hung up.
    e2e::FileWatch lineOpened(m_pty.SlavePath(), IN_OPEN);
    e2e::ChildProcess replaying = Run({"-a", "y", "-c", "3", "-l", "n", "-w", capture});
    ASSERT_TRUE(lineOpened.WaitUntil([&] { return lineOpened.Events() > 0; }, kTimeoutMs));
    EXPECT_EQ(m_pty.Receive(bytes.size(), kTimeoutMs), bytes);
    EXPECT_EQ(replaying.WaitForExit(kTimeoutMs), 0);

    std::ofstream(PathOf("capture_time.txt"), std::ios::binary) << "time,offset,bytes,event\n";
    e2e::ChildProcess refused = Run({"-a", "y", "-c", "3", "-l", "n", "-w", capture});
    EXPECT_EQ(refused.WaitForExit(kTimeoutMs), 2);
    EXPECT_NE(refused.Errors().find("Cannot replay " + capture + ": " + PathOf("capture_time.txt") +
                                    " covers 0 of the file's 256 bytes"),
              std::string::npos)
        << refused.Errors();
    EXPECT_EQ(m_pty.ReceiveFor(100), "");
}

// The switches allow 1.5 stop bits with 8 data bits; no port takes them.
TEST_F(UnattendedRun, RefusedLineSettingsAreToldOnceAndTheWriteGoesOn) {
    const std::string send = PathOf("send.txt");
    std::ofstream(send, std::ios::binary) << "kept";
    e2e::ChildProcess zandrel = Run({"-c", "3", "-b", "4800", "-s", "1.5", "-m", "5", "-l", "n", "-w", send});
    EXPECT_EQ(m_pty.Receive(4, kTimeoutMs), "kept");
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
    EXPECT_EQ(zandrel.Errors(), "zandrel: " + m_pty.SlavePath() + " cannot take 1.5 stop bits, kept 9600 8N1\n");
}

// -f x as a CNC control's user gives it: the control's XOFF holds the file,
// the run says why, and its XON lets the rest go, none skipped or doubled.
TEST_F(UnattendedRun, AWriteWithXonXoffWaitsWhileTheFarEndSaysXoff) {
    const std::string send = PathOf("send.txt");
    std::string text;
    for (int n = 10; n <= 100; n += 10) text += "G01 X" + std::to_string(n) + " Y20\n";
    std::ofstream(send, std::ios::binary) << text;
    e2e::ChildProcess zandrel = Run({"-c", "3", "-f", "x", "-m", "5", "-l", "n", "-w", send});
    std::string got = m_pty.Receive(10, kTimeoutMs);
    ASSERT_EQ(got, text.substr(0, 10));
    m_pty.Send("\x13");

    e2e::FileWatch errors(PathOf("stderr"), IN_MODIFY);
    const std::string notice = "zandrel: " + m_pty.SlavePath() + " is not taking data (XOFF received); holding the file at character ";
    EXPECT_TRUE(errors.WaitUntil([&] { return zandrel.Errors().find(notice) != std::string::npos; }, kTimeoutMs))
        << zandrel.Errors();
    // What was on its way when the XOFF went (the program's at most one more
    // after reading it is shown on the manual clock); then nothing until XON.
    got += m_pty.ReceiveFor(100);
    EXPECT_EQ(m_pty.ReceiveFor(300), "");
    EXPECT_EQ(zandrel.Errors(), notice + std::to_string(got.size() + 1) + "\n");

    m_pty.Send("\x11");
    got += m_pty.Receive(text.size() - got.size(), kTimeoutMs);
    EXPECT_EQ(got, text);
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
}

TEST_F(UnattendedRun, ProgramPathWithASpaceIsNotTakenForParameters) {
    const std::string send = PathOf("send.txt");
    std::ofstream(send, std::ios::binary) << "ok";
    e2e::ChildProcess zandrel = Run({"-c", "3", "-m", "5", "-l", "n", "-w", send}, "/opt/my tools/zandrel");
    EXPECT_EQ(m_pty.Receive(2, kTimeoutMs), "ok");
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 0);
    EXPECT_EQ(zandrel.Errors(), "");
}

TEST_F(UnattendedRun, RejectedSwitchIsReportedOnStandardErrorWithStatus2) {
    e2e::FileWatch lineOpened(m_pty.SlavePath(), IN_OPEN);
    e2e::ChildProcess zandrel = Run({"-c", "3", "-b", "1", "-w", PathOf("send.txt")});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 2);
    const std::string errors = zandrel.Errors();
    EXPECT_NE(errors.find("Zandrel: Unsupported Buad Rate"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Unsupported Buad Rate: 1 bps\n"), std::string::npos) << errors;
    lineOpened.WaitUntil([] { return false; }, 0);
    EXPECT_EQ(lineOpened.Events(), 0);  // the port was never opened
}

TEST_F(UnattendedRun, PortThatCannotBeOpenedEndsWithStatus1AndOneLine) {
    const std::string send = PathOf("send.txt");
    std::ofstream(send) << "x";
    for (const char* job : {"-w", "-r"}) {
        SCOPED_TRACE(job);
        e2e::ChildProcess zandrel = Run({"-c", "4", job, send});
        EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 1);
        const std::string errors = zandrel.Errors();
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_EQ(errors.back(), '\n');
    }
    EXPECT_EQ(e2e::ReadFile(send), "x");
}

TEST_F(UnattendedRun, NoSwitchesPrintsUsageWithStatus2) {
    e2e::ChildProcess zandrel = Run({});
    EXPECT_EQ(zandrel.WaitForExit(kTimeoutMs), 2);
    const std::string usage = zandrel.Output() + zandrel.Errors();
    for (const char* name : {"-b", "-c", "-d", "-l", "-m", "-p", "-r", "-s", "-w"})
        EXPECT_NE(usage.find(name), std::string::npos) << name << " missing from:\n" << usage;
}

}  // namespace
