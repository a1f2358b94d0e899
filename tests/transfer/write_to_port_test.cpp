// Write to Port over a real pseudo-terminal, paced by the manual clock.
#include <gtest/gtest.h>

#include <filesystem>

#include "dialog_on_pty.h"

namespace transfertest {
namespace {

using WriteToPort = DialogOnPty;
using headless::TakeMessageBoxes;
using headless::TimerSet;

TEST_F(WriteToPort, SendsOneCharacterPerTickAndLoopsWithAnEmptyTickBetweenPasses) {
    StartWrite("AB", "25", true);
    EXPECT_EQ(Status(), WRITING);
    EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
    EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
    EXPECT_TRUE(m_dlg.IsBusy());

    // Nothing goes out before the first period has passed.
    EXPECT_EQ(Tick(24), "");
    EXPECT_EQ(Tick(1), "A");
    EXPECT_EQ(Tick(25), "B");
    EXPECT_EQ(Tick(25), "");
    EXPECT_EQ(Tick(25), "A");
    EXPECT_EQ(Tick(25), "B");
    EXPECT_EQ(Tick(25), "");
    EXPECT_EQ(Tick(25), "A");
    EXPECT_EQ(Status(), WRITING);
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST_F(WriteToPort, WithoutLoopStopsAtTheEndButKeepsThePortAndButtonsUntilStop) {
    StartWrite("AB", "35", false);
    EXPECT_EQ(headless::TimerPeriod(m_dlg, CZandrelDlg::SEND_TIMER_ID), 35u);
    EXPECT_EQ(Tick(35), "A");
    EXPECT_EQ(Tick(35), "B");
    EXPECT_EQ(Tick(35), "");
    EXPECT_FALSE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    EXPECT_EQ(Status(), "");
    EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
    EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
    EXPECT_FALSE(PortFree(m_pty));
    EXPECT_EQ(OpenDescriptors(Path("send.txt")), 1);
    EXPECT_FALSE(m_dlg.IsBusy());

    headless::Click(m_dlg, IDC_STOP);
    EXPECT_TRUE(PortFree(m_pty));
    EXPECT_EQ(OpenDescriptors(Path("send.txt")), 0);
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
}

TEST_F(WriteToPort, LoopsWhatTheLoopBoxSaysAtEachEndOfFile) {
    StartWrite("A", "25", true);
    EXPECT_EQ(Tick(25), "A");
    SetLoop(false);
    EXPECT_EQ(Tick(25), "");
    EXPECT_FALSE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
}

TEST_F(WriteToPort, AnEmptyFileSendsNothingAndWithoutLoopEndsAtTheFirstTick) {
    StartWrite("", "25", true);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Tick(25), "");
    EXPECT_TRUE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    EXPECT_EQ(Status(), WRITING);
    EXPECT_TRUE(TakeMessageBoxes().empty());

    SetLoop(false);
    EXPECT_EQ(Tick(25), "");
    EXPECT_FALSE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    EXPECT_EQ(Status(), "");
}

TEST_F(WriteToPort, ReadsTheFileInTextMode) {
    // CR LF goes out as LF, a lone CR as CR; a NUL uses its tick but sends
    // nothing; Ctrl-Z ends the file.
    StartWrite(std::string("a\r\nb\rc\0d\x1a" "ef", 10), "25", false);
    std::vector<std::string> ticks;
    for (int i = 0; i < 8; ++i) ticks.push_back(Tick(25));
    EXPECT_EQ(ticks, (std::vector<std::string>{"a", "\n", "b", "\r", "c", "", "d", ""}));
    EXPECT_FALSE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
}

TEST_F(WriteToPort, SendsHighBytesUnchanged) {
    StartWrite("\xC1\xFF", "25", false);
    EXPECT_EQ(Tick(25), "\xC1");
    EXPECT_EQ(Tick(25), "\xFF");
}

TEST_F(WriteToPort, AFileThatCannotBeReadEndsEachPassAndSendsNothing) {
    // A directory opens for reading, but every read fails.
    std::filesystem::create_directory(Path("dir"));
    headless::Type(m_dlg, IDC_SEND_FILE, Path("dir").c_str());
    SetLoop(true);
    headless::Click(m_dlg, IDC_WRITE_TO_PORT);
    ASSERT_TRUE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Tick(25), "");
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST_F(WriteToPort, AMissingFileIsReportedAndLeavesTheConfiguredPortOpen) {
    headless::Type(m_dlg, IDC_SEND_FILE, Path("missing.txt").c_str());
    headless::Click(m_dlg, IDC_WRITE_TO_PORT);
    auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "File not found.");
    EXPECT_EQ(boxes[0].type, MB_OK);
    EXPECT_FALSE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
    EXPECT_FALSE(PortFree(m_pty));
    EXPECT_FALSE(m_dlg.IsBusy());
}

TEST_F(WriteToPort, AnEmptyNameIsReportedAndAnotherClickReopensThePort) {
    headless::Type(m_dlg, IDC_SEND_FILE, "");
    headless::Click(m_dlg, IDC_WRITE_TO_PORT);
    auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Incorrect file name");
    EXPECT_FALSE(PortFree(m_pty));

    // The second click closes the port it left open and opens it again.
    StartWrite("Z", "25", false);
    EXPECT_TRUE(TakeMessageBoxes().empty());
    EXPECT_EQ(Tick(25), "Z");
}

TEST_F(WriteToPort, AFileDeletedDuringALoopRunStopsTheSendingWithAMessage) {
    StartWrite("A", "25", true);
    EXPECT_EQ(Tick(25), "A");
    std::filesystem::remove(Path("send.txt"));
    EXPECT_EQ(Tick(25), "");
    auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "File not found.");
    EXPECT_FALSE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    // The status keeps the writing text and the buttons stay disabled until Stop.
    EXPECT_EQ(Status(), WRITING);
    EXPECT_FALSE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
    EXPECT_FALSE(m_dlg.IsBusy());
}

TEST_F(WriteToPort, StopClosesPortAndFileAndANewWriteRunsAtItsOwnDelay) {
    StartWrite("AB", "25", true);
    EXPECT_EQ(Tick(25), "A");
    headless::Click(m_dlg, IDC_STOP);
    EXPECT_TRUE(PortFree(m_pty));
    EXPECT_EQ(OpenDescriptors(Path("send.txt")), 0);
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
    EXPECT_FALSE(m_dlg.IsBusy());

    // The timer goes on, but its ticks find nothing to send.
    EXPECT_TRUE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    EXPECT_EQ(Tick(100), "");

    StartWrite("AB", "45", true);
    EXPECT_EQ(headless::TimerPeriod(m_dlg, CZandrelDlg::SEND_TIMER_ID), 45u);
    EXPECT_EQ(Tick(44), "");
    EXPECT_EQ(Tick(1), "A");
    EXPECT_EQ(Tick(45), "B");
}

TEST_F(WriteToPort, ADelayBelowOneMillisecondRunsAtTen) {
    StartWrite("A", "0", true);
    EXPECT_EQ(headless::TimerPeriod(m_dlg, CZandrelDlg::SEND_TIMER_ID), 10u);
    EXPECT_EQ(Tick(10), "A");
}

TEST_F(WriteToPort, APortTextTooLongForTheDeviceNameOpensNothing) {
    // Sixteen characters that name the real device: refused, not cut, not opened.
    std::string longPath = m_pty.SlavePath();
    longPath.insert(4, std::string(16 - longPath.size(), '/'));
    ASSERT_EQ(longPath.size(), 16u);
    headless::Type(m_dlg, IDC_COM_PORT, longPath.c_str());
    StartWrite("A", "25", true);
    EXPECT_TRUE(TakeMessageBoxes().empty());
    EXPECT_FALSE(TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    EXPECT_EQ(Status(), "Status:  Cannot open " + longPath + ": too long for a port name");
    EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
    EXPECT_TRUE(PortFree(m_pty));

    // The same device under a name that fits is opened.
    headless::Type(m_dlg, IDC_COM_PORT, m_pty.SlavePath().c_str());
    headless::Click(m_dlg, IDC_WRITE_TO_PORT);
    EXPECT_EQ(Tick(25), "A");
}

TEST_F(WriteToPort, AnotherTimerOnlyGetsDefaultProcessing) {
    StartWrite("A", "25", true);
    m_dlg.SendMessage(WM_TIMER, CZandrelDlg::SEND_TIMER_ID + 1, 0);
    EXPECT_EQ(m_pty.ReceiveFor(20), "");
    EXPECT_EQ(Tick(25), "A");
}

TEST_F(WriteToPort, ClosingTheWindowClosesPortAndSendFile) {
    StartWrite("AB", "25", true);
    EXPECT_EQ(Tick(25), "A");
    headless::CloseBox(m_dlg);
    EXPECT_TRUE(PortFree(m_pty));
    EXPECT_EQ(OpenDescriptors(Path("send.txt")), 0);
    EXPECT_FALSE(m_dlg.IsBusy());
}

TEST_F(WriteToPort, AppliesTheTypedLineSettingsToTheDevice) {
    headless::Type(m_dlg, IDC_BAUD, "19200");
    StartWrite("A", "25", true);
    // A pseudo-terminal keeps the speed it is given (and ignores the rest).
    long speed = DeviceSpeed(m_pty.SlavePath());
    if (speed < 0) GTEST_SKIP() << "the device is held exclusively";
    EXPECT_EQ(speed, 19200);
}

}  // namespace
}  // namespace transfertest
