// Capture to File over a real pseudo-terminal: the far end sends, the port's
// notifications arrive in real time and are handled by the dialog.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "dialog_on_pty.h"

namespace transfertest {
namespace {

using CaptureToFile = DialogOnPty;
using headless::TakeMessageBoxes;

// Lets bytes sent by the far end reach the port's input queue before any
// notification is handled, so that one notification finds them all.
void LetArrive() {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

std::string Printable(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i) bytes += static_cast<char>('!' + i % 90);
    return bytes;
}

// The companion's text for printable bytes.
std::string Codes(const std::string& bytes) {
    std::string codes;
    for (char c : bytes) codes += std::to_string(c) + "|";
    return codes;
}

TEST_F(CaptureToFile, StoresTheBytesAndTheirCodesAndShowsThemInTheStatusLine) {
    StartCapture(Path("cap.txt"));
    EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
    EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(m_dlg.IsBusy());

    ASSERT_TRUE(ReceiveInto("Hi", Path("cap.txt"), 2));
    EXPECT_EQ(ReadFile(Path("cap.txt")), "Hi");
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), "72|105|");
    EXPECT_EQ(Status(), std::string(READING) + "Hi");

    ASSERT_TRUE(ReceiveInto("\r\n", Path("cap.txt"), 4));
    EXPECT_EQ(ReadFile(Path("cap.txt")), "Hi\r\n");
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), "72|105|13|10|");
}

TEST_F(CaptureToFile, KeepsHighBytesAndWritesTheirLowSevenBits) {
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("\xC1", Path("cap.txt"), 1));
    EXPECT_EQ(ReadFile(Path("cap.txt")), "\xC1");
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), "65|");
}

TEST_F(CaptureToFile, ANulByteCutsTheStatusTextButNotTheFiles) {
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto(std::string("ab\0cd", 5), Path("cap.txt"), 5));
    EXPECT_EQ(ReadFile(Path("cap.txt")), std::string("ab\0cd", 5));
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), "97|98|0|99|100|");
    EXPECT_EQ(Status(), std::string(READING) + "ab");
}

// While data streams a pass's text is drawn at most once a period, the last
// one by the period's end; after a quiet period, at once. Words about the job
// are drawn at once and are not overwritten by a pass's text that waited.
TEST_F(CaptureToFile, TheStatusLineKeepsToItsPeriodWhileDataStreams) {
    const DWORD period = CZandrelDlg::STATUS_PERIOD;
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("a", Path("cap.txt"), 1));
    EXPECT_EQ(Status(), std::string(READING) + "a");
    ASSERT_TRUE(ReceiveInto("b", Path("cap.txt"), 2));
    headless::Advance(period - 1);
    EXPECT_EQ(Status(), std::string(READING) + "a");
    headless::Advance(1);
    EXPECT_EQ(Status(), std::string(READING) + "b");
    headless::Advance(period);  // a period with nothing
    ASSERT_TRUE(ReceiveInto("c", Path("cap.txt"), 3));
    EXPECT_EQ(Status(), std::string(READING) + "c");
    ASSERT_TRUE(ReceiveInto("d", Path("cap.txt"), 4));
    m_dlg.SendMessage(CSerialWnd::s_nDefaultComMsg, MAKEWPARAM(EV_ERR, CE_OVERRUN), 0);
    const std::string told = Status();
    EXPECT_NE(told, std::string(READING) + "c");
    headless::Advance(period);
    EXPECT_EQ(Status(), told);
    ASSERT_TRUE(ReceiveInto("e", Path("cap.txt"), 5));
    EXPECT_EQ(Status(), std::string(READING) + "e");
}

TEST_F(CaptureToFile, AppendsToWhatTheFilesAlreadyHold) {
    WriteFile(Path("cap.txt"), "old");
    WriteFile(Path("cap_asci.txt"), "1|");
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("A", Path("cap.txt"), 4));
    EXPECT_EQ(ReadFile(Path("cap.txt")), "oldA");
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), "1|65|");
}

TEST_F(CaptureToFile, ExactlyFiveHundredBytesTakeAFullPassAndAnEmptyOne) {
    StartCapture(Path("cap.txt"));
    const std::string bytes = Printable(500);
    m_pty.Send(bytes);
    LetArrive();
    headless::RunUntilIdle();
    EXPECT_EQ(ReadFile(Path("cap.txt")), bytes);
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), Codes(bytes));
    // The second pass read nothing and shows the prefix alone, drawn at the period's end.
    headless::Advance(CZandrelDlg::STATUS_PERIOD);
    EXPECT_EQ(Status(), READING);
}

TEST_F(CaptureToFile, ABurstIsDrainedInChunksOfFiveHundredAtOneNotification) {
    StartCapture(Path("cap.txt"));
    const std::string bytes = Printable(1200);
    m_pty.Send(bytes);
    LetArrive();
    headless::RunUntilIdle();
    EXPECT_EQ(ReadFile(Path("cap.txt")), bytes);
    // The passes were 500, 500 and 200: the status shows the last 200 by the period's end.
    headless::Advance(CZandrelDlg::STATUS_PERIOD);
    EXPECT_EQ(Status(), std::string(READING) + bytes.substr(1000));
}

TEST_F(CaptureToFile, ANotificationWithoutReceivedCharactersDoesNothing) {
    StartCapture(Path("cap.txt"));
    m_dlg.SendMessage(CSerialWnd::s_nDefaultComMsg, MAKEWPARAM(EV_BREAK, CE_FRAME), 0);
    m_dlg.SendMessage(CSerialWnd::s_nDefaultComMsg, MAKEWPARAM(EV_ERR, 0), 0);
    EXPECT_EQ(Status(), "");
    EXPECT_FALSE(std::filesystem::exists(Path("cap.txt")));
    EXPECT_FALSE(std::filesystem::exists(Path("cap_asci.txt")));
}

// Overruns show only in the driver's counters; the port tells them as
// EV_ERR with CE_OVERRUN (the kernel's buffer: CE_RXOVER). A pty counts none,
// so the count here is the least an overrun loses.
TEST_F(CaptureToFile, ALineThatOverranIsToldOnceAsItHappensAndAgainAtTheEnd) {
    StartCapture(Path("cap.txt"));
    headless::TakeJobFaults();
    for (WORD errors : {CE_OVERRUN, CE_RXOVER, CE_OVERRUN})
        m_dlg.SendMessage(CSerialWnd::s_nDefaultComMsg, MAKEWPARAM(EV_ERR, errors), 0);
    const std::string& device = m_pty.SlavePath();
    EXPECT_EQ(headless::TakeJobFaults(),
              std::vector<std::string>{device + " overran: received bytes were lost by the line (at least 1)"});
    EXPECT_EQ(Status(), "Status:  " + device + " overran: received bytes were lost by the line (at least 1)");

    headless::Click(m_dlg, IDC_STOP);
    EXPECT_EQ(headless::TakeJobFaults(),
              std::vector<std::string>{"received bytes lost by the line during the capture into " +
                                       Path("cap.txt").string() + ": at least 1"});
}

TEST_F(CaptureToFile, ANotificationAfterStopShowsThePrefixAndTouchesBothFiles) {
    StartCapture(Path("cap.txt"));
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_TRUE(PortFree(m_pty));
    EXPECT_FALSE(m_dlg.IsBusy());
    EXPECT_EQ(Status(), "");

    m_dlg.PostMessage(CSerialWnd::s_nDefaultComMsg, MAKEWPARAM(EV_RXCHAR, 0), 0);
    headless::RunUntilIdle();
    EXPECT_EQ(Status(), READING);
    EXPECT_TRUE(std::filesystem::exists(Path("cap.txt")));
    EXPECT_EQ(ReadFile(Path("cap.txt")), "");
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), "");
}

TEST_F(CaptureToFile, ACompanionThatCannotBeOpenedLeavesTheCaptureGoingAndIsToldOnce) {
    // "sub/abc" has the companion "sub_asci/abc", in a directory that does not exist.
    std::filesystem::create_directory(Path("sub"));
    StartCapture(Path("sub/abc"));
    ASSERT_TRUE(ReceiveInto("xy", Path("sub/abc"), 2));
    ASSERT_TRUE(ReceiveInto("z", Path("sub/abc"), 3));
    EXPECT_EQ(ReadFile(Path("sub/abc")), "xyz");
    EXPECT_FALSE(std::filesystem::exists(Path("sub_asci")));
    EXPECT_TRUE(TakeMessageBoxes().empty());
    const std::string why = "write " + Path("sub_asci/abc").string() + ": No such file or directory";
    EXPECT_EQ(Status(), "Status:  Cannot " + why);
    EXPECT_EQ(headless::TakeJobFaults(), std::vector<std::string>{"cannot " + why});
}

// Each pass opens the file anew, so what is at its path may have changed since
// the capture started: a directory gone, or a FIFO (whose open would wait for
// a reader, holding the window) put there.
TEST_F(CaptureToFile, DataWaitsInThePortWhileTheCaptureFileCannotBeOpened) {
    struct Case {
        const char* name;
        std::function<void()> spoil;
        std::function<void()> mend;
        const char* reason;
    };
    const Case cases[] = {
        {"later/cap.txt", [] {}, [&] { std::filesystem::create_directory(Path("later")); },
         "No such file or directory"},
        {"fifo.txt", [&] { ASSERT_EQ(mkfifo(Path("fifo.txt").c_str(), 0600), 0); },
         [&] { std::filesystem::remove(Path("fifo.txt")); }, "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path file = Path(c.name);
        StartCapture(file.string());
        c.spoil();
        // Should the open wait on the FIFO after all, a reader lets it go on, and the test fail.
        std::promise<void> caseOver;
        std::thread release([&, over = caseOver.get_future()] {
            if (over.wait_for(std::chrono::seconds(6)) == std::future_status::timeout)
                close(open(file.c_str(), O_RDONLY | O_NONBLOCK));
        });
        m_pty.Send("abc");
        const std::string why = "write " + file.string() + ": " + c.reason;
        EXPECT_TRUE(headless::DispatchUntil([&] { return Status() == "Status:  Cannot " + why; }, 5000));
        m_pty.Send("def");
        DispatchFor(200);
        EXPECT_EQ(headless::TakeJobFaults(), std::vector<std::string>{"cannot " + why});

        c.mend();
        EXPECT_TRUE(ReceiveInto("g", file, 7));
        EXPECT_EQ(ReadFile(file), "abcdefg");
        EXPECT_EQ(ReadFile(static_cast<const char*>(CompanionFileName(file.c_str()))), "97|98|99|100|101|102|103|");
        EXPECT_EQ(Status(), std::string(READING) + "abcdefg");
        EXPECT_TRUE(TakeMessageBoxes().empty());
        caseOver.set_value();
        release.join();
        headless::Click(m_dlg, IDC_STOP);
        headless::TakeJobFaults();
    }
}

TEST_F(CaptureToFile, StopAndTheCloseBoxStoreWhatArrivedButWasNotAnnouncedYet) {
    for (bool closeBox : {false, true}) {
        StartCapture(Path("cap.txt"));
        m_pty.Send(Printable(1200));
        LetArrive();  // the notification waits in the queue, undispatched
        if (closeBox)
            headless::CloseBox(m_dlg);
        else
            headless::Click(m_dlg, IDC_STOP);
        EXPECT_TRUE(PortFree(m_pty));
        const std::string expected = closeBox ? Printable(1200) + Printable(1200) : Printable(1200);
        EXPECT_EQ(ReadFile(Path("cap.txt")), expected);
        EXPECT_EQ(ReadFile(Path("cap_asci.txt")), Codes(expected));
        headless::RunUntilIdle();
    }
}

TEST_F(CaptureToFile, StopWithNothingReceivedCreatesNoFiles) {
    StartCapture(Path("cap.txt"));
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_FALSE(std::filesystem::exists(Path("cap.txt")));
    EXPECT_FALSE(std::filesystem::exists(Path("cap_asci.txt")));
}

TEST_F(CaptureToFile, AFifoADirectoryOrADeviceAsEitherFileIsRefusedBeforeThePortOpens) {
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(Path("cap_asci.txt").c_str(), 0600), 0);
    std::filesystem::create_directory(Path("dir"));
    std::filesystem::create_symlink("/dev/full", Path("device"));
    for (const char* name : {"fifo", "dir", "device", "cap.txt"}) {
        StartCapture(Path(name));
        auto boxes = TakeMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << name;
        EXPECT_EQ(boxes[0].text, "Incorrect file name");
        EXPECT_TRUE(PortFree(m_pty));
        EXPECT_FALSE(m_dlg.IsBusy());
    }
}

TEST_F(CaptureToFile, AnEmptyNameClosesAnOpenPortAndIsReported) {
    // A write that found no file leaves its port open.
    headless::Type(m_dlg, IDC_SEND_FILE, Path("missing").c_str());
    headless::Click(m_dlg, IDC_WRITE_TO_PORT);
    TakeMessageBoxes();
    ASSERT_FALSE(PortFree(m_pty));

    StartCapture("");
    auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Incorrect file name");
    EXPECT_TRUE(PortFree(m_pty));
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
    EXPECT_FALSE(m_dlg.IsBusy());
}

TEST_F(CaptureToFile, APortThatCannotBeOpenedStartsNothing) {
    headless::Type(m_dlg, IDC_COM_PORT, "/nonexistent/tty");
    StartCapture(Path("cap.txt"));
    EXPECT_TRUE(TakeMessageBoxes().empty());
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
    EXPECT_FALSE(m_dlg.IsBusy());

    // Too long for the device name: refused, though the device exists.
    std::string longPath = m_pty.SlavePath();
    longPath.insert(4, std::string(256 - longPath.size(), '/'));
    headless::Type(m_dlg, IDC_COM_PORT, longPath.c_str());
    StartCapture(Path("cap.txt"));
    EXPECT_TRUE(PortFree(m_pty));
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
}

TEST_F(CaptureToFile, ClosingTheWindowClosesThePort) {
    StartCapture(Path("cap.txt"));
    headless::CloseBox(m_dlg);
    EXPECT_TRUE(PortFree(m_pty));
    EXPECT_FALSE(m_dlg.IsBusy());
}

TEST_F(CaptureToFile, DataReceivedDuringAWriteJobIsDrainedAndStoredNowhere) {
    // An earlier capture leaves its names behind.
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto("c", Path("cap.txt"), 1));
    headless::Click(m_dlg, IDC_STOP);

    StartWrite("AB", "25", true);
    ASSERT_EQ(Status(), WRITING);
    m_pty.Send("received while writing");
    DispatchFor(300);

    EXPECT_EQ(ReadFile(Path("send.txt")), "AB");
    EXPECT_EQ(ReadFile(Path("cap.txt")), "c");
    EXPECT_EQ(ReadFile(Path("cap_asci.txt")), "99|");
    EXPECT_FALSE(std::filesystem::exists(Path("send_asci.txt")));
    EXPECT_EQ(Status(), WRITING);
    // The write goes on.
    EXPECT_EQ(Tick(25), "A");
}

}  // namespace
}  // namespace transfertest
