// The main dialog on the headless back-end: resources, defaults, the system
// menu and About box, painting while minimised, Stop, Close and browsing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/framework/headless/headless.h"
#include "ui/zandrel_dlg.h"

namespace {

using headless::ControlText;
using Strings = std::vector<std::string>;

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Use(true);
        ASSERT_TRUE(headless::Create(m_dlg));
        headless::RunUntilIdle();
        headless::TakeMessageBoxes();
        headless::TakeModalDialogs();
        headless::TakeIconDraws();
    }
    void TearDown() override { headless::Destroy(m_dlg); }

    void ExpectIdle() {
        EXPECT_EQ(ControlText(m_dlg, IDC_STATUS), "");
        EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_WRITE_TO_PORT));
        EXPECT_TRUE(headless::ControlEnabled(m_dlg, IDC_CAPTURE_TO_FILE));
        EXPECT_FALSE(m_dlg.IsBusy());
    }

    CZandrelDlg m_dlg;
};

TEST_F(MainDialog, StartsWithTheDefaultSettings) {
    EXPECT_EQ(ControlText(m_dlg, IDC_COM_PORT), "COM1");
    EXPECT_EQ(ControlText(m_dlg, IDC_BAUD), "9600");
    EXPECT_EQ(ControlText(m_dlg, IDC_PARITY), "NOPARITY");
    EXPECT_EQ(ControlText(m_dlg, IDC_DATA_BITS), "8");
    EXPECT_EQ(ControlText(m_dlg, IDC_STOP_BITS), "1");
    EXPECT_EQ(ControlText(m_dlg, IDC_FLOW_CONTROL), "None");
    EXPECT_EQ(ControlText(m_dlg, IDC_MODEM_LINES), "Off");
    EXPECT_EQ(ControlText(m_dlg, IDC_TIME_DELAY), "25");
    EXPECT_TRUE(headless::ControlChecked(m_dlg, IDC_LOOP));
    EXPECT_FALSE(headless::ControlChecked(m_dlg, IDC_ARRIVAL_TIMES));
    EXPECT_EQ(ControlText(m_dlg, IDC_SEND_FILE), "SendDataFile.txt");
    EXPECT_EQ(ControlText(m_dlg, IDC_CAPTURE_FILE), "CaptureDataFile.txt");
    ExpectIdle();
    EXPECT_FALSE(headless::TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
}

TEST_F(MainDialog, ComboListsHoldExactlyTheirEntriesInOrder) {
    Strings ports;
    for (int n = 1; n <= 25; ++n) ports.push_back("COM" + std::to_string(n));
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_COM_PORT), ports);
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_BAUD),
              (Strings{"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000",
                       "57600", "115200", "128000", "256000"}));
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_PARITY),
              (Strings{"NOPARITY", "ODDPARITY", "EVENPARITY", "MARKPARITY", "SPACEPARITY"}));
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_DATA_BITS), (Strings{"5", "6", "7", "8"}));
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_STOP_BITS), (Strings{"1", "1.5", "2"}));
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_FLOW_CONTROL),
              (Strings{"None", "XON/XOFF", "RTS/CTS", "RTS/CTS, DTR/DSR"}));
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_MODEM_LINES), (Strings{"Off", "DTR on", "RTS on", "DTR and RTS on"}));
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_TIME_DELAY),
              (Strings{"25", "35", "45", "55", "65", "75", "85", "95", "105"}));
}

TEST_F(MainDialog, ControlsComeInTemplateAndTabOrder) {
    const int S = IDC_STATIC;
    EXPECT_EQ(headless::ControlIds(m_dlg),
              (std::vector<int>{IDC_WRITE_TO_PORT, IDC_STOP, S, IDC_SEND_FILE, IDC_BROWSE_SEND, S, IDC_COM_PORT,
                                IDC_STATUS, S, S, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS,
                                IDC_FLOW_CONTROL, IDC_MODEM_LINES, S, S, S, S, S, S, IDC_CAPTURE_TO_FILE, S, IDC_CAPTURE_FILE, IDC_BROWSE_CAPTURE, S, S, IDC_TIME_DELAY,
                                S, IDC_LOOP, IDC_ARRIVAL_TIMES}));
}

TEST_F(MainDialog, SystemMenuEndsWithASeparatorAndTheAboutItem) {
    auto items = headless::SystemMenuItems(m_dlg);
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[items.size() - 2], (std::pair<std::string, UINT>{"", 0}));
    EXPECT_EQ(items.back(), (std::pair<std::string, UINT>{"&About Zandrel...", IDM_ABOUTBOX}));
}

TEST_F(MainDialog, SystemCommands0x10To0x1FOpenTheAboutBox) {
    for (UINT command = 0x0010; command <= 0x001F; ++command) {
        headless::SystemCommand(m_dlg, command);
        EXPECT_EQ(headless::TakeModalDialogs(), std::vector<UINT>{IDD_ABOUTBOX}) << command;
    }
    headless::SystemCommand(m_dlg, 0x0020);
    EXPECT_TRUE(headless::TakeModalDialogs().empty());
    ExpectIdle();
}

// The one icon drawn when the dialog, with this client size, paints.
std::optional<headless::IconDraw> PaintWithClientSize(CZandrelDlg& dlg, int width, int height) {
    headless::SetClientSize(dlg, width, height);
    dlg.SendMessage(WM_PAINT);
    auto draws = headless::TakeIconDraws();
    if (draws.size() != 1) return std::nullopt;
    return draws[0];
}

TEST_F(MainDialog, MinimisedPaintCentresTheIconWithTruncatingDivision) {
    const HICON icon = reinterpret_cast<HICON>(m_dlg.SendMessage(WM_QUERYDRAGICON));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon, AfxGetApp()->LoadIcon(IDR_MAINFRAME));
    headless::SetIconic(m_dlg, true);

    auto draw = PaintWithClientSize(m_dlg, 36, 40);
    ASSERT_TRUE(draw);
    EXPECT_EQ(draw->icon, icon);
    EXPECT_EQ(draw->x, 2);
    EXPECT_EQ(draw->y, 4);

    // (30 - 32 + 1) / 2 is -1 / 2, which truncates to 0.
    draw = PaintWithClientSize(m_dlg, 30, 30);
    ASSERT_TRUE(draw);
    EXPECT_EQ(draw->x, 0);
    EXPECT_EQ(draw->y, 0);

    // Narrower still, the position goes negative.
    draw = PaintWithClientSize(m_dlg, 20, 20);
    ASSERT_TRUE(draw);
    EXPECT_EQ(draw->x, -5);
}

TEST_F(MainDialog, PaintingARestoredWindowDrawsNoIcon) {
    headless::SetIconic(m_dlg, false);
    m_dlg.SendMessage(WM_PAINT);
    EXPECT_TRUE(headless::TakeIconDraws().empty());
}

TEST_F(MainDialog, StopWhileIdleOnlyResetsStatusAndButtons) {
    headless::Click(m_dlg, IDC_STOP);
    ExpectIdle();
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
    EXPECT_FALSE(headless::TimerSet(m_dlg, CZandrelDlg::SEND_TIMER_ID));
    EXPECT_EQ(ControlText(m_dlg, IDC_SEND_FILE), "SendDataFile.txt");
}

TEST_F(MainDialog, BrowseCancelledLeavesTheFieldAlone) {
    headless::ScriptSaveFileName(nullptr);
    headless::Click(m_dlg, IDC_BROWSE_SEND);
    EXPECT_EQ(ControlText(m_dlg, IDC_SEND_FILE), "SendDataFile.txt");

    OPENFILENAME request = headless::LastSaveFileRequest();
    EXPECT_EQ(request.lStructSize, 76u);
    EXPECT_EQ(request.hwndOwner, m_dlg.m_hWnd);
    // Each string ends with a NUL and the list with a second one.
    const char filter[] = "Text Files (*.txt)\0*.txt\0All (*.*)\0*.*\0";
    EXPECT_EQ(std::string(request.lpstrFilter, sizeof filter), std::string(filter, sizeof filter));
    EXPECT_EQ(request.nFilterIndex, 0u);
    EXPECT_EQ(request.nMaxFile, 260u);
    EXPECT_STREQ(request.lpstrTitle, "Open File");
    EXPECT_STREQ(request.lpstrDefExt, "txt");
    EXPECT_EQ(request.Flags, 0u);
    EXPECT_EQ(request.lpstrInitialDir, nullptr);
}

TEST_F(MainDialog, BrowseConfirmedFillsOnlyItsOwnField) {
    headless::ScriptSaveFileName("/tmp/zandrel/out.log");
    headless::Click(m_dlg, IDC_BROWSE_CAPTURE);
    EXPECT_EQ(ControlText(m_dlg, IDC_CAPTURE_FILE), "/tmp/zandrel/out.log");
    EXPECT_EQ(ControlText(m_dlg, IDC_SEND_FILE), "SendDataFile.txt");

    // A name without an extension gets the default one from the file dialog.
    headless::ScriptSaveFileName("/tmp/zandrel/data");
    headless::Click(m_dlg, IDC_BROWSE_SEND);
    EXPECT_EQ(ControlText(m_dlg, IDC_SEND_FILE), "/tmp/zandrel/data.txt");
    EXPECT_EQ(ControlText(m_dlg, IDC_CAPTURE_FILE), "/tmp/zandrel/out.log");
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
}

TEST_F(MainDialog, ContextMenuOnTheBackgroundDoesNothing) {
    m_dlg.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_dlg.m_hWnd), MAKELPARAM(20, 30));
    EXPECT_TRUE(headless::TakeModalDialogs().empty());
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
    EXPECT_EQ(headless::SystemMenuItems(m_dlg).back().second, static_cast<UINT>(IDM_ABOUTBOX));
    ExpectIdle();
}

}  // namespace
