// The adapter pulled out and not put back: the far end of the line (the pty
// master) closes, and the stable name the job opened goes with it, during a
// capture and during a write. What arrived before is
// kept, the job says it waits for the device, nothing spins, Stop and closing
// still work, and a console run ends on SIGTERM with status 1, its job not done.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <thread>

#include "e2e/file_watch.h"
#include "faults/console_run.h"
#include "faults/line_filler.h"
#include "faults/process_probe.h"
#include "faults/stable_name.h"
#include "serial/serial_port.h"
#include "transfer/dialog_on_pty.h"
#include "support/thread_count.h"

namespace {

using transfertest::DialogOnPty;
using transfertest::ReadFile;

// CPU time the whole process spends over this much idle real time.
constexpr DWORD kIdleMs = 300;
constexpr double kIdleCpuLimitMs = 60;
using faults::kWaitingStatus;

class AdapterPulled : public DialogOnPty {
protected:
    void SetUp() override {
        DialogOnPty::SetUp();
        // A thread sanitizer starts a helper thread with the first thread of
        // the process; started here, it is in every count the test takes.
        std::thread([] {}).join();
        m_name.emplace(Path("adapter"));
        m_name->PointTo(m_pty);
        headless::Type(m_dlg, IDC_COM_PORT, Device().c_str());
    }

    // The port is a stable name that goes away with the adapter: a pty's
    // number goes to the next pty made, in this process or another, and that
    // one must not be taken for the device come back.
    std::string Device() const { return m_name->Path(); }
    void Pull() {
        m_pty.CloseMaster();
        m_name->Remove();
    }

    std::optional<faults::StableName> m_name;

    double CpuWhileIdle() {
        const double before = faults::CpuMilliseconds();
        DispatchFor(kIdleMs);
        return faults::CpuMilliseconds() - before;
    }

    void ExpectWaitingForTheDevice() {
        EXPECT_TRUE(headless::DispatchUntil([&] { return Status() == kWaitingStatus; }, 5000));
        EXPECT_TRUE(m_dlg.IsBusy());
        EXPECT_EQ(headless::TakeJobNotices(),
                  std::vector<std::string>{Device() + " disconnected; waiting for it to come back"});
    }

    void ExpectStopEndsTheJob(int threadsBefore) {
        headless::Click(m_dlg, IDC_STOP);
        EXPECT_EQ(headless::TakeJobFaults(),
                  std::vector<std::string>{Device() + " did not come back before the job ended"});
        EXPECT_EQ(Status(), "");
        EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
        EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
        EXPECT_FALSE(m_dlg.IsBusy());
        EXPECT_TRUE(testsupport::ThreadsReturnTo(threadsBefore));  // driver and worker ended
    }
};

TEST_F(AdapterPulled, DuringACaptureWhatArrivedIsKeptAndNothingSpins) {
    const int threadsBefore = testsupport::Threads();
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("before", Path("cap.txt"), 6));

    Pull();
    ExpectWaitingForTheDevice();
    EXPECT_LT(CpuWhileIdle(), kIdleCpuLimitMs);
    EXPECT_EQ(ReadFile(Path("cap.txt")), "before");
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), faults::CodesOf("before"));
    ExpectStopEndsTheJob(threadsBefore);

    // The dialog goes on: a new capture on a line that is gone fails quietly.
    StartCapture(Path("cap.txt"));
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
}

TEST_F(AdapterPulled, DuringAWriteTheTicksStopAndNothingSpins) {
    const int threadsBefore = testsupport::Threads();
    StartWrite("0123456789", "25", true);
    EXPECT_EQ(Tick(25), "0");
    EXPECT_EQ(Tick(25), "1");

    Pull();
    ExpectWaitingForTheDevice();
    headless::Advance(2500);  // the device is tried again each second, in vain
    EXPECT_FALSE(headless::TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    EXPECT_EQ(Status(), kWaitingStatus);
    EXPECT_LT(CpuWhileIdle(), kIdleCpuLimitMs);
    ExpectStopEndsTheJob(threadsBefore);
    EXPECT_EQ(transfertest::OpenDescriptors(Path("send.txt")), 0);
}

TEST_F(AdapterPulled, ACharacterHeldByAFullLineWaitsWithTheJob) {
    // Nobody reads the far end: the line takes none of the job's characters.
    faults::LineFiller(m_pty.SlavePath()).Fill();
    const int threadsBefore = testsupport::Threads();
    StartWrite(std::string(20, 'x'), "25", false);
    headless::Advance(25 * 21);  // the ticks go on, none of them held up by the line
    EXPECT_EQ(headless::TakeJobNotices(),
              std::vector<std::string>{Device() + " is not taking data; holding the file at character 1"});

    Pull();
    ExpectWaitingForTheDevice();  // the character the line did not take waits with the job
    EXPECT_LT(CpuWhileIdle(), kIdleCpuLimitMs);
    ExpectStopEndsTheJob(threadsBefore);
}

// Characters the port took in while no wait was pending are remembered for the
// next wait; a pull in between must not swallow them, or a capture never reads
// what had already arrived.
TEST(AdapterPulledFromAPort, CharactersThatArrivedBeforeThePullAreStillAnnounced) {
    testsupport::Pty pty;
    CSerialPort port;
    ASSERT_EQ(port.Open(pty.DeviceName().c_str(), 2048, 2048), 0);
    pty.Send("last");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // taken in by the port
    pty.CloseMaster();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the hang-up seen

    EXPECT_EQ(port.WaitForEvent(nullptr, 0), 0);
    EXPECT_EQ(port.TakeEventType() & EV_RXCHAR, static_cast<DWORD>(EV_RXCHAR));
    char buffer[8];
    DWORD count = 0;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &count, nullptr, 0), 0);
    EXPECT_EQ(std::string(buffer, count), "last");
    EXPECT_EQ(port.WaitForEvent(nullptr, 0), ERROR_DEVICE_NOT_CONNECTED);
}

class AdapterPulledFromAConsoleRun : public faults::ConsoleRun {
protected:
    void SetUp() override {
        ConsoleRun::SetUp();
        m_name.emplace(PathOf("adapter"));
        m_name->PointTo(m_pty);
    }

    // COM3 is a stable name, pulled with the adapter (as in the dialog's tests).
    e2e::ChildProcess& StartOnTheAdapter(const std::vector<std::string>& switches) {
        return Start(switches, "", m_name->Path());
    }

    // Pulls the adapter, lets the program notice, then measures the CPU time
    // it spends over an idle while.
    double CpuAfterThePull(const e2e::ChildProcess& zandrel) {
        m_pty.CloseMaster();
        m_name->Remove();
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
        const double before = faults::CpuMilliseconds(zandrel.Pid());
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
        return faults::CpuMilliseconds(zandrel.Pid()) - before;
    }

    void ExpectToldAwayToTheEnd(const e2e::ChildProcess& zandrel) {
        const std::string device = m_name->Path();
        EXPECT_EQ(zandrel.Errors(), "zandrel: " + device + " disconnected; waiting for it to come back\n" +
                                        "zandrel: " + device + " did not come back before the job ended\n");
    }

    std::optional<faults::StableName> m_name;
};

TEST_F(AdapterPulledFromAConsoleRun, CaptureKeepsWhatArrivedIdlesAndEndsOnSigterm) {
    const std::string capture = PathOf("cap.txt");
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    e2e::ChildProcess& zandrel = StartOnTheAdapter({"-c", "3", "-r", capture});
    m_pty.Send("kept");
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(PathOf("cap_asci.txt")) == faults::CodesOf("kept"); },
                                  faults::kTimeoutMs));

    EXPECT_LT(CpuAfterThePull(zandrel), kIdleCpuLimitMs);

    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 1);
    ExpectToldAwayToTheEnd(zandrel);
    EXPECT_EQ(e2e::ReadFile(capture), "kept");
    EXPECT_EQ(e2e::ReadFile(PathOf("cap_asci.txt")), faults::CodesOf("kept"));
}

TEST_F(AdapterPulledFromAConsoleRun, LoopingWriteIdlesAndEndsOnSigterm) {
    const std::string send = PathOf("send.txt");
    std::ofstream(send) << "abc";
    e2e::ChildProcess& zandrel = StartOnTheAdapter({"-c", "3", "-m", "5", "-l", "y", "-w", send});
    EXPECT_EQ(m_pty.Receive(6, faults::kTimeoutMs), "abcabc");

    EXPECT_LT(CpuAfterThePull(zandrel), kIdleCpuLimitMs);

    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 1);
    ExpectToldAwayToTheEnd(zandrel);
}

}  // namespace
