// The main dialog on the headless back-end: resources, defaults, the system
// menu and About box, painting while minimised, Stop, Close and browsing.
#include <gtest/gtest.h>

#include <cstring>
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
    EXPECT_EQ(ControlText(m_dlg, IDC_TIME_DELAY), "25");
    EXPECT_TRUE(headless::ControlChecked(m_dlg, IDC_LOOP));
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
    EXPECT_EQ(headless::ComboEntries(m_dlg, IDC_TIME_DELAY),
              (Strings{"25", "35", "45", "55", "65", "75", "85", "95", "105"}));
}

TEST_F(MainDialog, ControlsComeInTemplateAndTabOrder) {
    const int S = IDC_STATIC;
    EXPECT_EQ(headless::ControlIds(m_dlg),
              (std::vector<int>{IDC_WRITE_TO_PORT, IDC_STOP, S, IDC_SEND_FILE, IDC_BROWSE_SEND, S, IDC_COM_PORT,
                                IDC_STATUS, S, S, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS, S, S, S, S,
                                IDC_CAPTURE_TO_FILE, S, IDC_CAPTURE_FILE, IDC_BROWSE_CAPTURE, S, S, IDC_TIME_DELAY,
                                S, IDC_LOOP}));
    EXPECT_EQ(ControlText(m_dlg, IDC_WRITE_TO_PORT), "Write to Port");
    EXPECT_EQ(ControlText(m_dlg, IDC_CAPTURE_TO_FILE), "Capture To File");
    EXPECT_EQ(ControlText(m_dlg, IDC_STOP), "Stop");
    EXPECT_EQ(ControlText(m_dlg, IDC_LOOP), "Loop");
    EXPECT_EQ(ControlText(m_dlg, IDC_BROWSE_SEND), "...");

    const DialogTemplate* main = AfxFindDialogTemplate(IDD_ZANDREL_DIALOG);
    ASSERT_NE(main, nullptr);
    EXPECT_STREQ(main->caption, "Zandrel");
    EXPECT_EQ(main->cx, 381);
    EXPECT_EQ(main->cy, 175);
    // Both job buttons are default push buttons; the first tab stop gets the focus.
    EXPECT_TRUE(main->controls[0].style & CS_DEFAULT);
    EXPECT_TRUE(main->controls[18].style & CS_DEFAULT);
    EXPECT_EQ(main->controls[0].id, IDC_WRITE_TO_PORT);
}

TEST_F(MainDialog, AboutBoxTemplateHasIconTwoLinesAndOk) {
    const DialogTemplate* about = AfxFindDialogTemplate(IDD_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    EXPECT_STREQ(about->caption, "About Zandrel");
    ASSERT_EQ(about->controls.size(), 4u);
    EXPECT_EQ(about->controls[0].kind, ControlKind::StaticIcon);
    EXPECT_STREQ(about->controls[0].text, "128");
    EXPECT_STREQ(about->controls[1].text, "Zandrel Version 1.0");
    EXPECT_TRUE(about->controls[1].style & CS_NOPREFIX);
    EXPECT_GT(std::strlen(about->controls[2].text), 0u);
    EXPECT_EQ(about->controls[3].id, IDOK);
}

TEST_F(MainDialog, IconHasA32And16PixelImageInSixteenColours) {
    const IconResource* icon = AfxFindIcon(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->palette.size(), 16u);
    ASSERT_EQ(icon->images.size(), 2u);
    for (const IconImage& image : icon->images) {
        ASSERT_EQ(image.rows.size(), static_cast<size_t>(image.height));
        for (const char* row : image.rows) {
            ASSERT_EQ(std::strlen(row), static_cast<size_t>(image.width));
            EXPECT_EQ(std::strspn(row, ".0123456789ABCDEF"), std::strlen(row));
        }
    }
    EXPECT_EQ(icon->images[0].width, 32);
    EXPECT_EQ(icon->images[1].width, 16);
}

TEST_F(MainDialog, VersionRecordDescribesTheProgram) {
    const VersionResource& version = AfxGetResources()->version;
    EXPECT_STREQ(version.fileVersion, "1.0.0.2");
    EXPECT_STREQ(version.productVersion, "1.0.0.1");
    auto value = [&](const char* key) -> std::string {
        for (const auto& [k, v] : version.strings)
            if (std::strcmp(k, key) == 0) return v;
        return "<missing>";
    };
    EXPECT_EQ(value("FileDescription"), "Read Write from COM port ");
    EXPECT_EQ(value("FileVersion"), "1, 0, 0, 2");
    EXPECT_EQ(value("ProductVersion"), "1, 0, 0, 2");
    EXPECT_EQ(value("InternalName"), "Zandrel");
    EXPECT_EQ(value("OriginalFilename"), "Zandrel.EXE");
    EXPECT_EQ(value("ProductName"), "Zandrel Application");
    EXPECT_EQ(value("CompanyName"), "");
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

TEST_F(MainDialog, MinimisedPaintCentresTheIconWithTruncatingDivision) {
    const HICON icon = reinterpret_cast<HICON>(m_dlg.SendMessage(WM_QUERYDRAGICON));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon, AfxGetApp()->LoadIcon(IDR_MAINFRAME));
    headless::SetIconic(m_dlg, true);

    headless::SetClientSize(m_dlg, 36, 40);
    m_dlg.SendMessage(WM_PAINT);
    auto draws = headless::TakeIconDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].icon, icon);
    EXPECT_EQ(draws[0].x, 2);
    EXPECT_EQ(draws[0].y, 4);

    // (30 - 32 + 1) / 2 is -1 / 2, which truncates to 0.
    headless::SetClientSize(m_dlg, 30, 30);
    m_dlg.SendMessage(WM_PAINT);
    draws = headless::TakeIconDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].x, 0);
    EXPECT_EQ(draws[0].y, 0);

    // Narrower still, the position goes negative.
    headless::SetClientSize(m_dlg, 20, 20);
    m_dlg.SendMessage(WM_PAINT);
    draws = headless::TakeIconDraws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].x, -5);
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
