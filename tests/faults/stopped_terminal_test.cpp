// The user's terminal stops reading (Ctrl-S, an SSH connection that stalls)
// while a console run draws its progress there: the job keeps its pace, what
// the run has to say waits and comes, in order, once the terminal reads again,
// and a terminal that never does holds the end of the run only briefly.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/file_watch.h"
#include "e2e/terminal_lines.h"
#include "faults/console_run.h"
#include "faults/stable_name.h"

namespace {

using namespace std::chrono_literals;

class StoppedTerminal : public faults::ConsoleRun {
protected:
    void SetUp() override {
        ConsoleRun::SetUp();
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 100;
        ASSERT_EQ(ioctl(m_terminal.Master(), TIOCSWINSZ, &size), 0);
        // The test's own hold on the terminal, for its flow control.
        m_terminalSide = open(m_terminal.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m_terminalSide, 0);
    }
    void TearDown() override {
        if (m_terminalSide >= 0) close(m_terminalSide);
        ConsoleRun::TearDown();
    }

    e2e::ChildProcess& StartOnTerminal(const std::vector<std::string>& switches, const std::string& device = "") {
        return Start(switches, m_terminal.SlavePath(), device);
    }
    // What Ctrl-S and Ctrl-Q do on a terminal with IXON: output stops, and goes on.
    void StopTerminal() { ASSERT_EQ(tcflow(m_terminalSide, TCOOFF), 0); }
    void StartTerminal() { ASSERT_EQ(tcflow(m_terminalSide, TCOON), 0); }

    // Every line drawn, once the program has ended and let go of the terminal.
    std::vector<std::string> LinesDrawn() {
        close(m_terminalSide);
        m_terminalSide = -1;
        return e2e::DrawnLines(m_terminal.ReceiveFor(faults::kTimeoutMs));
    }

    std::string WriteSendFile(size_t characters) {
        const std::string send = PathOf("send.txt");
        std::ofstream(send, std::ios::binary) << std::string(characters, 'x');
        return send;
    }

    testsupport::Pty m_terminal;
    int m_terminalSide = -1;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) joined += line + "\n";
    return joined;
}

TEST_F(StoppedTerminal, AWriteKeepsItsPaceAndItsSummaryComesWhenTheTerminalGoesOn) {
    e2e::ChildProcess& zandrel = StartOnTerminal({"-c", "3", "-m", "5", "-l", "n", "-w", WriteSendFile(200)});
    StopTerminal();
    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_EQ(m_pty.Receive(200, faults::kTimeoutMs).size(), 200u);
    // 200 ticks of 5 ms are one second, however long the terminal stays stopped.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 3s);
    StartTerminal();
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);

    std::vector<std::string> lines = LinesDrawn();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(sent 200 characters in 1\.\d s)"))) << Joined(lines);
}

TEST_F(StoppedTerminal, ACaptureGoesOnStoringAndItsNoticesComeInOrderWhenTheTerminalGoesOn) {
    faults::StableName name(m_dir / "usb-adapter");
    name.PointTo(m_pty);
    const std::string capture = PathOf("cap.txt");
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess& zandrel = StartOnTerminal({"-c", "3", "-r", capture}, name.Path());
    StopTerminal();
    m_pty.Send("one");
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture) == "one"; }, faults::kTimeoutMs));

    m_pty.CloseMaster();
    name.Remove();
    std::this_thread::sleep_for(300ms);
    testsupport::Pty replugged;
    name.PointTo(replugged);
    e2e::FileWatch opened(replugged.SlavePath(), IN_OPEN);
    ASSERT_TRUE(opened.WaitUntil([&] { return opened.Events() > 0; }, faults::kTimeoutMs));
    replugged.Send("two");
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture) == "onetwo"; }, faults::kTimeoutMs));

    zandrel.Signal(SIGTERM);
    StartTerminal();
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    std::vector<std::string> said;
    const std::vector<std::string> lines = LinesDrawn();
    for (const std::string& line : lines)
        if (!std::regex_match(line, std::regex(R"(captured \d+ bytes?, .*)"))) said.push_back(line);
    EXPECT_EQ(said, (std::vector<std::string>{"zandrel: " + name.Path() + " disconnected; waiting for it to come back",
                                              "zandrel: " + name.Path() + " is back; capture resumed",
                                              "captured 6 bytes into " + capture}))
        << Joined(lines);
}

TEST_F(StoppedTerminal, ATerminalThatNeverGoesOnHoldsTheEndOfTheRunOnlyBriefly) {
    e2e::ChildProcess& zandrel = StartOnTerminal({"-c", "3", "-m", "5", "-l", "n", "-w", WriteSendFile(20)});
    StopTerminal();
    EXPECT_EQ(m_pty.Receive(20, faults::kTimeoutMs).size(), 20u);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
}

}  // namespace
