// Capture files that cannot be written: the directory removed under a running
// capture and put back, a file on a full file system (a small tmpfs; tests run
// as root). The capture goes on, the program
// stays responsive, each fault is told once, and nothing received is lost but
// what was told: the capture file holds every byte once it can be written
// again, the companion whole passes only.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "faults/console_run.h"
#include "faults/far_end.h"
#include "transfer/dialog_on_pty.h"

namespace {

using transfertest::ReadFile;
using transfertest::READING;

const char NO_SPACE[] = "No space left on device";

class UnwritableCapture : public transfertest::DialogOnPty {
protected:
    void TearDown() override {
        if (!m_mounted.empty()) umount2(m_mounted.c_str(), MNT_DETACH);
        DialogOnPty::TearDown();
    }

    // Sends from the far end and handles notifications until the status line
    // shows the text. The bytes are all queued first, so a pass takes them whole;
    // a pass's text is drawn by the end of the status line's period.
    bool ReceiveShown(const std::string& text, const std::string& status) {
        m_pty.Send(text);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        DispatchFor(200);
        headless::Advance(CZandrelDlg::STATUS_PERIOD);
        return headless::DispatchUntil([&] { return Status() == status; }, 5000);
    }
    bool ReceiveShown(const std::string& text) { return ReceiveShown(text, READING + text); }

    static std::string CannotWrite(const std::filesystem::path& file, const char* reason) {
        return "cannot write " + file.string() + ": " + reason;
    }
    static std::string StatusOf(const std::string& fault) { return "Status:  C" + fault.substr(1); }

    void ExpectStillCapturing() {
        EXPECT_TRUE(headless::TakeMessageBoxes().empty());
        EXPECT_TRUE(m_dlg.IsBusy());
        EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
    }

    // A tmpfs of 16 KiB at the path, a file "filler" leaving `room` bytes of it free.
    bool MountSmallFileSystem(const std::filesystem::path& dir, size_t room) {
        std::filesystem::create_directory(dir);
        if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=16k") != 0) return false;
        m_mounted = dir;
        std::ofstream filler(dir / "filler", std::ios::binary);
        filler << std::string(16 * 1024 - room, 'f');
        return true;
    }

    std::filesystem::path m_mounted;
};

TEST_F(UnwritableCapture, ARemovedDirectoryHoldsTheDataUntilItIsBack) {
    const auto dir = Path("logs");
    std::filesystem::create_directory(dir);
    StartCapture(dir / "cap.txt");
    ASSERT_TRUE(ReceiveShown("one"));

    std::filesystem::remove_all(dir);
    const std::string fault = CannotWrite(dir / "cap.txt", "No such file or directory");
    ASSERT_TRUE(ReceiveShown("two", StatusOf(fault)));
    ASSERT_TRUE(ReceiveShown("2", StatusOf(fault)));
    ExpectStillCapturing();
    EXPECT_FALSE(std::filesystem::exists(dir));

    std::filesystem::create_directory(dir);
    ASSERT_TRUE(ReceiveShown("three", READING + std::string("two2three")));
    EXPECT_EQ(ReadFile(dir / "cap.txt"), "two2three");
    EXPECT_EQ(ReadFile(dir / "cap_asci.txt"), faults::CodesOf("two2three"));
    EXPECT_EQ(headless::TakeJobFaults(), std::vector<std::string>{fault});
    ExpectStillCapturing();
}

TEST_F(UnwritableCapture, AFullFileSystemUnderTheCaptureFileLosesNothingOnceThereIsRoomAgain) {
    // "full/abc" has its companion in "full_asci/", off the small file system.
    std::filesystem::create_directory(Path("full_asci"));
    if (!MountSmallFileSystem(Path("full"), 0)) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    StartCapture(Path("full/abc"));
    const std::string fault = CannotWrite(Path("full/abc"), NO_SPACE);
    const std::string sent = std::string(300, 'a') + std::string(900, 'b');
    ASSERT_TRUE(ReceiveShown(sent.substr(0, 300), StatusOf(fault)));
    ASSERT_TRUE(ReceiveShown(sent.substr(300), StatusOf(fault)));
    ExpectStillCapturing();

    // The companion never gets ahead of the capture file.
    EXPECT_EQ(ReadFile(Path("full_asci/abc")), "");

    // Nothing more arrives: the capture tries the file again by itself.
    std::filesystem::remove(Path("full/filler"));
    headless::Advance(CZandrelDlg::CAPTURE_RETRY_PERIOD);
    EXPECT_EQ(ReadFile(Path("full/abc")), sent);
    EXPECT_EQ(ReadFile(Path("full_asci/abc")), faults::CodesOf(sent));
    EXPECT_EQ(headless::TakeJobFaults(), std::vector<std::string>{fault});
    EXPECT_EQ(headless::TakeJobNotices(), std::vector<std::string>{Path("full/abc").string() + " takes data again; capture resumed"});
    EXPECT_FALSE(headless::TimerSet(m_dlg, CZandrelDlg::CAPTURE_RETRY_TIMER_ID));
}

TEST_F(UnwritableCapture, ADirectoryGoneLongerThanThePortsQueueLastsLosesNothing) {
    const auto dir = Path("logs");
    std::filesystem::create_directory(dir);
    ASSERT_TRUE(m_pty.MakeRaw());
    StartCapture(dir / "cap.txt");
    std::filesystem::remove_all(dir);

    // Far more than the port's queue holds, sent as fast as the pty takes it:
    // once queue and pty are full, the far end is held back and no further
    // data is announced.
    constexpr size_t kTotal = 512 * 1024;
    faults::FarEnd farEnd(m_pty.Master(), kTotal, 4096, 1);
    size_t sent = 0;
    for (int round = 0; round < 100 && (sent < 64 * 1024 || sent != farEnd.Sent()); ++round) {
        sent = farEnd.Sent();
        DispatchFor(200);
    }
    ASSERT_LT(sent, kTotal) << "the far end was never held back";

    std::filesystem::create_directory(dir);
    headless::Advance(CZandrelDlg::CAPTURE_RETRY_PERIOD);
    ASSERT_TRUE(headless::DispatchUntil([&] { return ReadFile(dir / "cap.txt").size() >= kTotal; }, 20000))
        << ReadFile(dir / "cap.txt").size() << " of " << kTotal;
    std::string expected(kTotal, '\0');
    for (size_t i = 0; i < kTotal; ++i) expected[i] = faults::Pattern(i);
    EXPECT_TRUE(ReadFile(dir / "cap.txt") == expected);
    EXPECT_TRUE(ReadFile(dir / "cap_asci.txt") == faults::CodesOf(expected));
    ExpectStillCapturing();
}

TEST_F(UnwritableCapture, StopWhileTheFileSystemIsFullTellsHowManyBytesWereNotWritten) {
    std::filesystem::create_directory(Path("full_asci"));
    if (!MountSmallFileSystem(Path("full"), 0)) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    StartCapture(Path("full/abc"));
    const std::string fault = CannotWrite(Path("full/abc"), NO_SPACE);
    ASSERT_TRUE(ReceiveShown("first", StatusOf(fault)));
    ASSERT_TRUE(ReceiveShown("second", StatusOf(fault)));
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_EQ(headless::TakeJobFaults(),
              (std::vector<std::string>{fault, "11 received bytes could not be written to " + Path("full/abc").string()}));
    EXPECT_EQ(Status(), "");
}

TEST_F(UnwritableCapture, AFullFileSystemUnderTheCompanionLeavesOnlyWholePassesInIt) {
    // "full/abc" has its companion "full_asci/abc": only the companion is on the small file system,
    // with one 4 KiB page free. Each pass of 499 bytes gives it 1497 bytes of codes.
    std::filesystem::create_directory(Path("full"));
    if (!MountSmallFileSystem(Path("full_asci"), 4096)) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
    StartCapture(Path("full/abc"));
    const std::string a(499, 'A'), b(499, 'B'), c(499, 'C');
    ASSERT_TRUE(ReceiveShown(a));
    ASSERT_TRUE(ReceiveShown(b));
    // The third pass fits only in part: what went in is taken back.
    const std::string fault = CannotWrite(Path("full_asci/abc"), NO_SPACE);
    ASSERT_TRUE(ReceiveShown(c, StatusOf(fault)));
    EXPECT_EQ(ReadFile(Path("full_asci/abc")), faults::CodesOf(a + b));

    std::filesystem::remove(Path("full_asci/filler"));
    ASSERT_TRUE(ReceiveShown("D"));
    EXPECT_EQ(ReadFile(Path("full/abc")), a + b + c + "D");
    EXPECT_EQ(ReadFile(Path("full_asci/abc")), faults::CodesOf(a + b + "D"));
    EXPECT_EQ(headless::TakeJobFaults(), std::vector<std::string>{fault});
}

class CaptureUnderAFileSizeLimit : public faults::ConsoleRun {};

// A limit such as `ulimit -f` or a service's LimitFSIZE= is a write failure
// like a full disk, not the end of the run.
TEST_F(CaptureUnderAFileSizeLimit, TheWritePastTheLimitFailsAndTheRunGoesOn) {
    const std::string capture = PathOf("cap.txt");
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    rlimit limited = unlimited;
    limited.rlim_cur = 2000;
    setrlimit(RLIMIT_FSIZE, &limited);  // the run inherits it
    e2e::ChildProcess& zandrel = Start({"-c", "3", "-r", capture});
    setrlimit(RLIMIT_FSIZE, &unlimited);

    const std::string sent(3000, 'A');
    m_pty.Send(sent);
    // The companion, two to four times as long, meets the limit first.
    const std::string told = "zandrel: cannot write " + PathOf("cap_asci.txt") + ": File too large\n";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (zandrel.Errors().find(told) == std::string::npos && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(zandrel.Errors().find(told), std::string::npos) << zandrel.Errors();

    zandrel.Signal(SIGTERM);
    EXPECT_EQ(zandrel.WaitForExit(faults::kTimeoutMs), 1);  // ended by SIGTERM, with bytes left unwritten
    const std::string captured = ReadFile(capture);
    EXPECT_LE(captured.size(), 2000u);
    EXPECT_EQ(captured, sent.substr(0, captured.size()));
    char unwritten[48];  // 1,000 to 3,000
    const size_t nUnwritten = sent.size() - captured.size();
    std::snprintf(unwritten, sizeof unwritten, "%zu,%03zu", nUnwritten / 1000, nUnwritten % 1000);
    EXPECT_NE(zandrel.Errors().find(unwritten + std::string(" received bytes could not be written to ") + capture),
              std::string::npos) << zandrel.Errors();
}

}  // namespace
