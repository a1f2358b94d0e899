// Line settings the port refuses: each job says so once in the status line,
// names what the line kept, and goes on.
#include <gtest/gtest.h>

#include "dialog_on_pty.h"

namespace transfertest {
namespace {

using SettingsKept = DialogOnPty;

// The dialog's lists allow 1.5 stop bits with 8 data bits; no port takes them.
void AskForOneAndAHalfStopBits(CZandrelDlg& dlg) {
    headless::Type(dlg, IDC_DATA_BITS, "8");
    headless::Type(dlg, IDC_STOP_BITS, "1.5");
}

TEST_F(SettingsKept, ACaptureSaysWhatTheLineKeptAndStillCaptures) {
    AskForOneAndAHalfStopBits(m_dlg);
    StartCapture(Path("cap.txt"));
    EXPECT_EQ(Status(), "Status:  " + m_pty.SlavePath() + " cannot take 1.5 stop bits, kept 9600 8N1");
    ASSERT_TRUE(ReceiveInto("ok", Path("cap.txt"), 2));
    EXPECT_EQ(Status(), std::string(READING) + "ok");
}

TEST_F(SettingsKept, AWriteSaysWhatTheLineKeptAndStillSends) {
    AskForOneAndAHalfStopBits(m_dlg);
    StartWrite("ok", "25", false);
    EXPECT_EQ(Status(), "Status:  " + m_pty.SlavePath() + " cannot take 1.5 stop bits, kept 9600 8N1");
    EXPECT_EQ(Tick(25), "o");
    EXPECT_EQ(Tick(25), "k");
}

TEST_F(SettingsKept, SettingsThatAreTakenLeaveTheStatusLineAsBefore) {
    headless::Type(m_dlg, IDC_DATA_BITS, "5");
    headless::Type(m_dlg, IDC_STOP_BITS, "1.5");
    StartWrite("ok", "25", false);
    EXPECT_EQ(Status(), WRITING);
}

}  // namespace
}  // namespace transfertest
