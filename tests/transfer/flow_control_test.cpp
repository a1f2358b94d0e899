// Flow control and modem lines chosen in the dialog, as the port of each job
// gets them, over a real pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "dialog_on_pty.h"

namespace transfertest {
namespace {

using FlowControl = DialogOnPty;

constexpr char XON = 0x11;
constexpr char XOFF = 0x13;

// Lets the port's driver read what the far end sent; the manual clock does not move meanwhile.
void LetDriverRead() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

std::string Pattern(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i) bytes += static_cast<char>('0' + i % 75);
    return bytes;
}

// The far end's side: whether it has read this byte, waiting up to the time given.
bool ReadsByte(int master, char wanted, int timeoutMs) {
    pollfd readable{master, POLLIN, 0};
    while (poll(&readable, 1, timeoutMs) == 1) {
        char c = 0;
        if (read(master, &c, 1) != 1) return false;
        if (c == wanted) return true;
    }
    return false;
}

bool HardwareFlowInTermios(const testsupport::Pty& pty) {
    termios line{};
    EXPECT_EQ(tcgetattr(pty.Master(), &line), 0);
    return (line.c_cflag & CRTSCTS) != 0;
}

// Both jobs set the mode chosen, none included, rather than each its own.
TEST_F(FlowControl, BothJobsGiveThePortTheChosenMode) {
    struct Case {
        bool bCapture;
        const char* pszFlow;
        bool bHardware;
    };
    const Case cases[] = {
        {false, "RTS/CTS", true},  {true, "RTS/CTS", true},  {false, "RTS/CTS, DTR/DSR", true},
        {true, "None", false},     {false, "None", false},   {true, "RTS/CTS, DTR/DSR", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.bCapture ? "capture " : "write ") << c.pszFlow);
        headless::Type(m_dlg, IDC_FLOW_CONTROL, c.pszFlow);
        if (c.bCapture)
            StartCapture(Path("cap.txt"));
        else
            StartWrite("AB", "25", true);
        ASSERT_EQ(Status(), c.bCapture ? "" : WRITING);
        EXPECT_EQ(HardwareFlowInTermios(m_pty), c.bHardware);
        headless::Click(m_dlg, IDC_STOP);
    }
}

// With none, DC1 and DC3 are data like any other byte.
TEST_F(FlowControl, WithoutFlowControlACaptureKeepsXonAndXoffBytes) {
    const std::string bytes = "a\x11" "b\x13" "c\x11";
    StartCapture(Path("cap.txt"));
    ASSERT_TRUE(ReceiveInto(bytes, Path("cap.txt"), bytes.size()));
    EXPECT_EQ(ReadFile(Path("cap.txt")), bytes);
}

// The far end says XOFF part way through a 5 ms write: at most one more
// character comes until its XON, the notice says why the file is held, and
// then the file goes on with nothing skipped or sent twice.
TEST_F(FlowControl, AWriteWaitsForXonAfterXoffAndSaysSo) {
    const std::string file = Pattern(60);
    headless::Type(m_dlg, IDC_FLOW_CONTROL, "XON/XOFF");
    StartWrite(file, "5", false);
    std::string got;
    for (int tick = 0; tick < 200 && got.size() < 20; ++tick) got += Tick(5);
    ASSERT_EQ(got, file.substr(0, 20));

    m_pty.Send(std::string(1, XOFF));
    LetDriverRead();
    std::string whileStopped;
    for (int tick = 0; tick < 10; ++tick) whileStopped += Tick(5);
    EXPECT_LE(whileStopped.size(), 1u);
    const std::string notice = m_pty.SlavePath() + " is not taking data (XOFF received); holding the file at character " +
                               std::to_string(got.size() + whileStopped.size() + 1);
    EXPECT_EQ(Status(), std::string(FaultStatusText(notice.c_str())));
    EXPECT_EQ(headless::TakeJobNotices(), std::vector<std::string>{notice});

    m_pty.Send(std::string(1, XON));
    LetDriverRead();
    got += whileStopped;
    for (int tick = 0; tick < 400 && got.size() < file.size(); ++tick) got += Tick(5);
    EXPECT_EQ(got, file);
}

// Stop while the far end's XOFF holds the file ends the write at once and
// leaves the line as it was found.
TEST_F(FlowControl, StopDuringAnXoffEndsAtOnceAndPutsTheLineBack) {
    termios before{};
    ASSERT_EQ(tcgetattr(m_pty.Master(), &before), 0);
    headless::Type(m_dlg, IDC_FLOW_CONTROL, "XON/XOFF");
    StartWrite(Pattern(60), "5", false);
    EXPECT_EQ(Tick(5), "0");
    m_pty.Send(std::string(1, XOFF));
    LetDriverRead();
    for (int tick = 0; tick < 3; ++tick) Tick(5);
    ASSERT_NE(Status().find("(XOFF received)"), std::string::npos) << Status();

    headless::Click(m_dlg, IDC_STOP);
    EXPECT_TRUE(PortFree(m_pty));
    EXPECT_EQ(Status(), "");
    termios after{};
    ASSERT_EQ(tcgetattr(m_pty.Master(), &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
}

// A capture whose directory is gone holds the far end with XOFF before its
// queue can overflow, and lets it go with XON once the file takes data:
// every byte sent is in the file.
TEST_F(FlowControl, ACaptureThatCannotWriteHoldsTheFarEndWithXoffUntilTheFileTakesData) {
    headless::Type(m_dlg, IDC_FLOW_CONTROL, "XON/XOFF");
    std::filesystem::create_directory(Path("gone"));
    const std::filesystem::path file = Path("gone") / "cap.txt";
    StartCapture(file.string());
    ASSERT_TRUE(ReceiveInto("first", file, 5));
    std::filesystem::remove_all(Path("gone"));

    // The far end keeps sending, as fast as the line takes it, until it reads
    // XOFF; then it waits for XON and sends the rest.
    std::string sent;
    std::atomic<bool> bXoff{false}, bXon{false}, bDone{false};
    std::thread farEnd([&, master = m_pty.Master()] {
        const std::string bytes = Pattern(256 * 1024);
        const int flags = fcntl(master, F_GETFL);
        fcntl(master, F_SETFL, flags | O_NONBLOCK);
        size_t done = 0;
        while (!bXoff && done < bytes.size()) {
            pollfd line{master, POLLIN | POLLOUT, 0};
            if (poll(&line, 1, 10000) != 1) break;
            if (line.revents & POLLIN) bXoff = ReadsByte(master, XOFF, 0);
            const ssize_t n = (line.revents & POLLOUT) ? write(master, bytes.data() + done, 256) : 0;
            if (n > 0) done += static_cast<size_t>(n);
        }
        fcntl(master, F_SETFL, flags);
        sent = bytes.substr(0, done);
        if (bXoff) bXon = ReadsByte(master, XON, 20000);
        m_pty.Send("last");
        sent += "last";
        bDone = true;
    });
    EXPECT_TRUE(headless::DispatchUntil([&] { return bXoff.load() || bDone.load(); }, 20000));
    EXPECT_TRUE(bXoff);

    std::filesystem::create_directory(Path("gone"));
    headless::Advance(CZandrelDlg::CAPTURE_RETRY_PERIOD);
    EXPECT_TRUE(headless::DispatchUntil([&] { return bDone.load(); }, 20000));
    farEnd.join();
    EXPECT_TRUE(bXon);
    EXPECT_GT(sent.size(), 60000u);  // the port held all of that while the file could not be written
    EXPECT_TRUE(headless::DispatchUntil([&] { return ReadFile(file).size() >= sent.size(); }, 10000));
    EXPECT_EQ(ReadFile(file), sent);
    headless::TakeJobFaults();
}

}  // namespace
}  // namespace transfertest
