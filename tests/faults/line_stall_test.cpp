// A line that stops taking data (a far end that stopped reading: a device
// whose firmware stalled, a bridge whose reader hangs). The write holds the
// character the line did not take while its ticks go on, says so once, ends
// at once on SIGTERM with the line left as it was found, and once the line
// takes data again goes on with no character skipped or sent twice.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "faults/console_run.h"
#include "faults/line_filler.h"
#include "transfer/dialog_on_pty.h"

namespace {

using Clock = std::chrono::steady_clock;
using faults::WithoutFiller;

std::string NotTaking(const std::string& device, const char* character) {
    return device + " is not taking data; holding the file at character " + character;
}

// Lets the far end go (closes the pty master) if the test has not finished a
// step in time: a tick that waited for a full line would otherwise hang the
// test instead of failing it.
class Watchdog {
public:
    Watchdog(testsupport::Pty& pty, std::chrono::seconds limit)
        : m_thread([this, &pty, limit] {
              std::unique_lock lock(m_lock);
              if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) pty.CloseMaster();
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_lock);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

class LineStall : public transfertest::DialogOnPty {};

TEST_F(LineStall, TheHeldCharacterGoesFirstOnceTheLineTakesDataAgain) {
    const faults::LineFiller filler(m_pty.SlavePath());
    StartWrite("0123456789", "25", true);
    EXPECT_EQ(Tick(25), "0");

    const Clock::time_point started = Clock::now();
    {
        Watchdog watchdog(m_pty, std::chrono::seconds(3));
        for (int tick = 0; tick < 8; ++tick) {
            filler.Fill();
            headless::Advance(25);
        }
    }
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(1)) << "a tick waited for the line";
    const std::string told = NotTaking(m_pty.SlavePath(), "2");
    EXPECT_EQ(headless::TakeJobNotices(), std::vector<std::string>{told});
    EXPECT_EQ(Status(), "Status:  " + told);
    EXPECT_TRUE(headless::TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));

    // The far end reads again: what it finds is the filler's, none of the job's.
    std::string received = m_pty.ReceiveFor(200);
    EXPECT_EQ(WithoutFiller(received), "");
    for (int tick = 0; tick < 12; ++tick) received += Tick(25);  // 1 to 9, the end of the file, 0, 1
    EXPECT_EQ(WithoutFiller(received), "12345678901");
    EXPECT_EQ(headless::TakeJobNotices(),
              std::vector<std::string>{m_pty.SlavePath() + " is taking data again; write resumed"});
    EXPECT_EQ(Status(), transfertest::WRITING);
}

class LineStallOnTheConsole : public faults::ConsoleRun {};

TEST_F(LineStallOnTheConsole, SigtermEndsALoopWriteOnAFullLineAtOnceAndLeavesTheLineAsFound) {
    const std::string send = PathOf("send.txt");
    std::ofstream(send) << "0123456789";
    const faults::LineFiller filler(m_pty.SlavePath());
    filler.Fill();
    const int line = open(m_pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(line, 0);
    termios found{};
    tcgetattr(line, &found);

    e2e::ChildProcess& zandrel = Start({"-c", "3", "-m", "5", "-l", "y", "-w", send});
    const std::string told = "zandrel: " + NotTaking(m_pty.SlavePath(), "1") + "\n";
    for (auto end = Clock::now() + std::chrono::seconds(5); zandrel.Errors() != told && Clock::now() < end;) {
        filler.Fill();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(zandrel.Errors(), told);

    const Clock::time_point signalled = Clock::now();
    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_LT(Clock::now() - signalled, std::chrono::seconds(1));
    termios left{};
    tcgetattr(line, &left);
    close(line);
    EXPECT_EQ(left.c_iflag, found.c_iflag);
    EXPECT_EQ(left.c_oflag, found.c_oflag);
    EXPECT_EQ(left.c_cflag, found.c_cflag);
    EXPECT_EQ(left.c_lflag, found.c_lflag);
    EXPECT_EQ(WithoutFiller(m_pty.ReceiveFor(200)), "") << "a character went out on a full line";
}

}  // namespace
