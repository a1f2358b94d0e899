// The adapter pulled and plugged back: a stable name (a symbolic link, as under
// /dev/serial/by-id) first leads to one pseudo-terminal, whose far end then
// closes, and later to a new one. The job waits without spinning, comes back
// on the new device with the same settings and goes on where it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <thread>

#include "e2e/file_watch.h"
#include "faults/console_run.h"
#include "faults/process_probe.h"
#include "faults/stable_name.h"
#include "platform/kernel/background_close.h"
#include "transfer/dialog_on_pty.h"
#include "support/thread_count.h"

namespace {

using transfertest::ReadFile;

using faults::kWaitingStatus;

using faults::StableName;

class AdapterReplugged : public transfertest::DialogOnPty {
protected:
    void SetUp() override {
        DialogOnPty::SetUp();
        std::thread([] {}).join();  // a sanitizer's helper thread, started before any count
        m_name = std::make_unique<StableName>(Path("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
        m_name->PointTo(m_pty);
        headless::Type(m_dlg, IDC_COM_PORT, m_name->Path().c_str());
        headless::Type(m_dlg, IDC_BAUD, "57600");
    }

    // The adapter pulled: its node goes away with it.
    void Pull(testsupport::Pty& pty) {
        pty.CloseMaster();
        m_name->Remove();
        ASSERT_TRUE(headless::DispatchUntil([&] { return Status() == kWaitingStatus; }, 5000));
    }

    // The adapter plugged back, and the second after, when the job tries it again.
    std::unique_ptr<testsupport::Pty> PlugBack() {
        auto pty = std::make_unique<testsupport::Pty>();
        m_name->PointTo(*pty);
        headless::Advance(CZandrelDlg::RECONNECT_PERIOD);
        return pty;
    }

    // A capture has nothing else to show until data comes.
    std::string BackStatus() const { return "Status:  " + m_name->Path() + " is back; capture resumed"; }

    std::vector<std::string> Notices(const char* job, const std::string& toldWhileWaiting = "") {
        std::vector<std::string> notices{m_name->Path() + " disconnected; waiting for it to come back"};
        if (!toldWhileWaiting.empty()) notices.push_back(m_name->Path() + toldWhileWaiting + "; still waiting");
        notices.push_back(m_name->Path() + " is back; " + job + " resumed");
        return notices;
    }

    // A capture whose device was pulled, its name now leading to something
    // else for a few of the job's tries, then to a pty again.
    void CaptureWithTheNameElsewhere(const std::function<void()>& whileElsewhere) {
        StartCapture(Path("cap.txt"));
        ASSERT_TRUE(ReceiveInto("before", Path("cap.txt"), 6));
        Pull(m_pty);
        whileElsewhere();
        auto replugged = PlugBack();
        EXPECT_EQ(Status(), BackStatus());
        replugged->Send("after");
        ASSERT_TRUE(headless::DispatchUntil([&] { return ReadFile(Path("cap.txt")).size() == 11; }, 5000));
        EXPECT_EQ(ReadFile(Path("cap.txt")), "beforeafter");
    }

    void TriesWhileElsewhere(const std::string& toldWhileWaiting) {
        for (int i = 0; i < 3; ++i) headless::Advance(CZandrelDlg::RECONNECT_PERIOD);
        const CString told((m_name->Path() + toldWhileWaiting + "; still waiting").c_str());
        EXPECT_EQ(Status(), std::string(FaultStatusText(told)));
    }

    std::unique_ptr<StableName> m_name;
};

TEST_F(AdapterReplugged, ACaptureAppendsToTheSameFilesWithTheSameSettings) {
    headless::Type(m_dlg, IDC_FLOW_CONTROL, "RTS/CTS");
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("before", Path("cap.txt"), 6));
    Pull(m_pty);
    EXPECT_TRUE(m_dlg.IsBusy());

    auto replugged = PlugBack();
    EXPECT_EQ(Status(), BackStatus());
    EXPECT_EQ(transfertest::DeviceSpeed(replugged->SlavePath()), 57600);
    termios line{};
    ASSERT_EQ(tcgetattr(replugged->Master(), &line), 0);
    EXPECT_NE(line.c_cflag & CRTSCTS, 0u);  // the flow control chosen
    replugged->Send("after");
    ASSERT_TRUE(headless::DispatchUntil([&] { return ReadFile(Path("cap.txt")).size() == 11; }, 5000));
    EXPECT_EQ(ReadFile(Path("cap.txt")), "beforeafter");
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), faults::CodesOf("beforeafter"));
    EXPECT_EQ(headless::TakeJobNotices(), Notices("capture"));
    EXPECT_TRUE(headless::TakeJobFaults().empty());
}

TEST_F(AdapterReplugged, AnotherDeviceAtTheNameIsNotTakenUpAndIsToldOnce) {
    // Not a pseudo-terminal: a device of another kind.
    CaptureWithTheNameElsewhere([&] {
        m_name->PointTo("/dev/ptmx");
        TriesWhileElsewhere(" is now a different device (a pseudo-terminal was expected)");
    });
    EXPECT_EQ(headless::TakeJobNotices(),
              Notices("capture", " is now a different device (a pseudo-terminal was expected)"));
}

// What cannot be told from another device is not taken up as this one.
TEST_F(AdapterReplugged, ANameWhoseDeviceCannotBeReadIsNotTakenUpAndIsToldOnce) {
    const std::string told = " is back but its identity cannot be read: Too many levels of symbolic links";
    CaptureWithTheNameElsewhere([&] {
        const std::filesystem::path loop = Path("loop");
        std::filesystem::create_symlink(loop.filename(), loop);
        m_name->PointTo(loop.string());
        TriesWhileElsewhere(told);
        m_name->Remove();
    });
    EXPECT_EQ(headless::TakeJobNotices(), Notices("capture", told));
}

TEST_F(AdapterReplugged, ADeviceBackButBusyIsToldOnceAndTakenUpOnceFree) {
    testsupport::Pty busy;
    CaptureWithTheNameElsewhere([&] {
        const int holder = open(busy.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(flock(holder, LOCK_EX), 0);
        m_name->PointTo(busy);
        TriesWhileElsewhere(" is back but cannot be opened: Device or resource busy");
        close(holder);
        m_name->Remove();
    });
    EXPECT_EQ(headless::TakeJobNotices(),
              Notices("capture", " is back but cannot be opened: Device or resource busy"));
}

// The hung-up descriptor cannot be given its line back, and the device returns
// with the raw line the job left on it (as a USB serial driver hands a minor's
// last termios to the next device on it): Stop puts back the line the device
// had before the job, not the raw one found at the reopen.
TEST_F(AdapterReplugged, StopAfterAHangUpPutsBackTheLineTheDeviceHadBeforeTheJob) {
    termios before{};
    ASSERT_EQ(tcgetattr(m_pty.Master(), &before), 0);
    before.c_lflag |= ECHO | ICANON;
    before.c_cc[VKILL] = 0x0B;  // none other has this
    ASSERT_EQ(tcsetattr(m_pty.Master(), TCSANOW, &before), 0);
    StartCapture(Path("cap.txt"));
    Pull(m_pty);

    auto replugged = std::make_unique<testsupport::Pty>();
    ASSERT_TRUE(replugged->MakeRaw());
    m_name->PointTo(*replugged);
    headless::Advance(CZandrelDlg::RECONNECT_PERIOD);
    ASSERT_EQ(Status(), BackStatus());
    headless::Click(m_dlg, IDC_STOP);
    kernel::WaitForBackgroundCloses();  // the line is put back on the close's own thread

    termios after{};
    ASSERT_EQ(tcgetattr(replugged->Master(), &after), 0);
    EXPECT_EQ(after.c_lflag & (ECHO | ICANON), tcflag_t(ECHO | ICANON));
    EXPECT_EQ(after.c_cc[VKILL], 0x0B);
}

TEST_F(AdapterReplugged, ALoopWriteResumesWithTheCharacterTheLineDidNotTake) {
    StartWrite("0123", "25", true);
    EXPECT_EQ(Tick(25), "0");
    EXPECT_EQ(Tick(25), "1");
    // The next tick comes before the program hears of the pull: its write fails and "2" is kept.
    m_pty.CloseMaster();
    m_name->Remove();
    headless::Advance(25);
    ASSERT_TRUE(headless::DispatchUntil([&] { return Status() == kWaitingStatus; }, 5000));
    EXPECT_FALSE(headless::TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));

    auto replugged = PlugBack();
    EXPECT_EQ(Status(), transfertest::WRITING);
    std::string sent;
    for (int i = 0; i < 7; ++i) {
        headless::Advance(25);
        sent += replugged->ReceiveFor(20);
    }
    EXPECT_EQ(sent, "23" "0123");  // the rest of the pass, the end of it, then the next pass
    EXPECT_EQ(headless::TakeJobNotices(), Notices("write"));
}

TEST_F(AdapterReplugged, AWriteWithoutLoopCompletesOnTheNewDevice) {
    StartWrite("abc", "25", false);
    EXPECT_EQ(Tick(25), "a");
    Pull(m_pty);
    auto replugged = PlugBack();
    std::string sent;
    for (int i = 0; i < 3; ++i) {
        headless::Advance(25);
        sent += replugged->ReceiveFor(20);
    }
    EXPECT_EQ(sent, "bc");
    EXPECT_EQ(Status(), "");
    EXPECT_FALSE(m_dlg.IsBusy());
}

TEST_F(AdapterReplugged, StopWhileWaitingEndsTheWaitAndTellsTheJobDidNotFinish) {
    const int threadsBefore = testsupport::Threads();
    StartCapture(Path("cap.txt"));
    Pull(m_pty);
    const double before = faults::CpuMilliseconds();
    DispatchFor(300);
    EXPECT_LT(faults::CpuMilliseconds() - before, 60.0);  // asleep while waiting

    headless::Click(m_dlg, IDC_STOP);
    EXPECT_FALSE(m_dlg.IsBusy());
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(headless::TakeJobFaults(),
              std::vector<std::string>{m_name->Path() + " did not come back before the job ended"});
    EXPECT_TRUE(testsupport::ThreadsReturnTo(threadsBefore));
    // Plugged back after Stop: nothing is opened.
    auto replugged = PlugBack();
    EXPECT_TRUE(transfertest::PortFree(*replugged));
}

TEST_F(AdapterReplugged, FiftyPullsAndReplugsLeaveNoThreadOrDescriptorBehind) {
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("0", Path("cap.txt"), 1));
    const int threadsBefore = testsupport::Threads();
    const int descriptorsBefore = faults::OpenDescriptors();
    std::unique_ptr<testsupport::Pty> plugged;
    testsupport::Pty* current = &m_pty;
    for (int i = 1; i <= 50; ++i) {
        Pull(*current);
        plugged = PlugBack();
        current = plugged.get();
        current->Send(std::to_string(i % 10));
        ASSERT_TRUE(headless::DispatchUntil([&] { return ReadFile(Path("cap.txt")).size() == size_t(i) + 1; }, 5000))
            << "cycle " << i;
    }
    EXPECT_EQ(ReadFile(Path("cap.txt")), "012345678901234567890123456789012345678901234567890");
    EXPECT_TRUE(testsupport::ThreadsReturnTo(threadsBefore));
    EXPECT_EQ(faults::OpenDescriptors(), descriptorsBefore);
}

using AdapterRepluggedInAConsoleRun = faults::ConsoleRun;

TEST_F(AdapterRepluggedInAConsoleRun, TheCaptureSaysSoOnceEachWayAndEndsWithStatus0) {
    StableName name(m_dir / "usb-adapter");
    name.PointTo(m_pty);
    const std::string capture = PathOf("cap.txt");
    e2e::FileWatch written(m_dir.string(), IN_CLOSE_WRITE);
    std::vector<std::string> arguments{"zandrel", "-c", "5", "-r", capture};
    e2e::ChildProcess zandrel(ZANDREL_BINARY, arguments, {{"ZANDREL_HEADLESS", "1"}, {"ZANDREL_COM5", name.Path()}},
                              PathOf("."));
    m_pty.Send("one");
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture) == "one"; }, faults::kTimeoutMs));

    m_pty.CloseMaster();
    name.Remove();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    testsupport::Pty replugged;
    name.PointTo(replugged);
    e2e::FileWatch opened(replugged.SlavePath(), IN_OPEN);
    ASSERT_TRUE(opened.WaitUntil([&] { return opened.Events() > 0; }, faults::kTimeoutMs));  // within a second
    replugged.Send("two");
    ASSERT_TRUE(written.WaitUntil([&] { return e2e::ReadFile(capture) == "onetwo"; }, faults::kTimeoutMs));

    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 0);
    EXPECT_EQ(zandrel.Errors(), "zandrel: " + name.Path() + " disconnected; waiting for it to come back\n" +
                                    "zandrel: " + name.Path() + " is back; capture resumed\n");
}

}  // namespace
