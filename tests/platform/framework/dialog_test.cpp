// Dialogs built from templates, their controls, default processing, modal
// loops, message boxes, the file dialog, the system menu and painting.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/framework/headless/headless.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/user_input.h"
#include "test_resources.h"

namespace {

using namespace testres;

const UINT g_nPing = RegisterWindowMessageA("ZandrelTest_DialogPing");

class TestDialog : public CDialog {
public:
    explicit TestDialog(UINT id = kDialog) : CDialog(id) {}

    std::vector<std::string> calls;
    size_t comboEntriesAtInit = 0;
    bool postOnInit = false;
    UINT timerOnInit = 0;
    int endAfterTicks = 0;
    bool boxOnPing = false;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        comboEntriesAtInit = headless::ComboEntries(*this, kCombo).size();
        if (postOnInit) PostMessage(g_nPing);
        if (timerOnInit) SetTimer(5, timerOnInit, nullptr);
        return TRUE;
    }

protected:
    afx_msg void OnGo() { calls.push_back("go"); }
    afx_msg void OnLoop() { calls.push_back("loop clicked"); }
    afx_msg void OnComboEdited() { calls.push_back("edited " + headless::ControlText(*this, kCombo)); }
    afx_msg void OnComboPicked() { calls.push_back("picked " + headless::ControlText(*this, kCombo)); }
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam) {
        calls.push_back("syscommand " + std::to_string(nID));
        CDialog::OnSysCommand(nID, lParam);
    }
    afx_msg void OnClose() {
        calls.push_back("close");
        CDialog::OnClose();
        calls.push_back(headless::EndResult(*this) == IDCANCEL ? "ended by cancel" : "not ended");
    }
    afx_msg void OnTimer(UINT nIDEvent) {
        calls.push_back("tick " + std::to_string(headless::Now()));
        if (endAfterTicks > 0 && --endAfterTicks == 0) EndDialog(77);
        CDialog::OnTimer(nIDEvent);
    }
    afx_msg LRESULT OnPing(WPARAM, LPARAM) {
        calls.push_back("ping " + std::to_string(headless::Now()));
        if (boxOnPing) {
            MessageBox("meanwhile");
            calls.push_back("box closed");
        }
        return 0;
    }
    afx_msg void OnPaint() {
        if (!IsIconic()) return CDialog::OnPaint();
        CPaintDC dc(this);
        CRect rect;
        GetClientRect(&rect);
        int x = (rect.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (rect.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
        dc.DrawIcon(x, y, AfxGetApp()->LoadIcon(kIcon));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    ON_BN_CLICKED(kButton, OnGo)
    ON_BN_CLICKED(kCheck, OnLoop)
    ON_CBN_EDITCHANGE(kCombo, OnComboEdited)
    ON_CBN_SELCHANGE(kCombo, OnComboPicked)
    ON_WM_SYSCOMMAND()
    ON_WM_CLOSE()
    ON_WM_TIMER()
    ON_WM_PAINT()
    ON_REGISTERED_MESSAGE(g_nPing, OnPing)
END_MESSAGE_MAP()

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Use(true);
        g_app.m_pMainWnd = nullptr;
    }
    void TearDown() override { g_app.m_pMainWnd = nullptr; }
};

TEST_F(Dialogs, ControlsComeFromTheTemplateInOrderAndListsBeforeDerivedInit) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    EXPECT_EQ((std::vector<int>{kButton, kCheck, IDC_STATIC, kEdit, kCombo, IDC_STATIC, kStatus, kDisabledByTest}),
              headless::ControlIds(dialog));
    EXPECT_EQ("Go", headless::ControlText(dialog, kButton));
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), headless::ComboEntries(dialog, kCombo));
    EXPECT_EQ(3u, dialog.comboEntriesAtInit);
    CString caption;
    dialog.GetWindowText(caption);
    EXPECT_STREQ("Test Dialog", caption);
}

TEST_F(Dialogs, ControlTextAndStateRoundTrip) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    dialog.SetDlgItemText(kCombo, "not in the list");
    CString text;
    EXPECT_EQ(15, dialog.GetDlgItemText(kCombo, text));
    EXPECT_STREQ("not in the list", text);
    EXPECT_EQ(0, dialog.GetDlgItemText(999, text));
    EXPECT_TRUE(text.IsEmpty());
    dialog.SetDlgItemText(999, "nowhere");  // no such control: nothing happens

    CWnd* check = dialog.GetDlgItem(kCheck);
    ASSERT_NE(nullptr, check);
    EXPECT_EQ(BST_UNCHECKED, SendMessageA(check->m_hWnd, BM_GETCHECK, 0, 0));
    SendMessageA(check->m_hWnd, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageA(check->m_hWnd, BM_GETCHECK, 0, 0));
    EXPECT_TRUE(headless::ControlChecked(dialog, kCheck));

    CWnd* button = dialog.GetDlgItem(kButton);
    EXPECT_FALSE(button->EnableWindow(FALSE));
    EXPECT_FALSE(headless::ControlEnabled(dialog, kButton));
    EXPECT_TRUE(button->EnableWindow(TRUE));
    EXPECT_TRUE(headless::ControlEnabled(dialog, kButton));

    dialog.GetDlgItem(kCombo)->SetToolTipText("COM1 -> /dev/ttyS0");
    EXPECT_EQ("COM1 -> /dev/ttyS0", headless::ControlToolTip(dialog, kCombo));
    EXPECT_EQ("", headless::ControlToolTip(dialog, kEdit));
    dialog.GetDlgItem(kCombo)->SetToolTipText(nullptr);
    EXPECT_EQ("", headless::ControlToolTip(dialog, kCombo));
}

TEST_F(Dialogs, ClicksReachHandlersUnlessTheControlIsDisabled) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    headless::Click(dialog, kButton);
    dialog.GetDlgItem(kButton)->EnableWindow(FALSE);
    headless::Click(dialog, kButton);
    headless::Click(dialog, kCheck);
    EXPECT_EQ((std::vector<std::string>{"go", "loop clicked"}), dialog.calls);
    EXPECT_TRUE(headless::ControlChecked(dialog, kCheck));
    headless::Click(dialog, kCheck);
    EXPECT_FALSE(headless::ControlChecked(dialog, kCheck));
    headless::Type(dialog, kEdit, "typed");
    EXPECT_EQ("typed", headless::ControlText(dialog, kEdit));
}

TEST_F(Dialogs, ComboBoxTellsTypingFromPickingAfterItsTextChanged) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    headless::Type(dialog, kCombo, "thr");
    headless::Pick(dialog, kCombo, 1);
    headless::Pick(dialog, kCombo, 3);  // no such entry
    dialog.SetDlgItemText(kCombo, "set by the program");  // no notification, as on Windows
    headless::Type(dialog, kEdit, "an edit field is no combo box");
    dialog.GetDlgItem(kCombo)->EnableWindow(FALSE);
    headless::Type(dialog, kCombo, "disabled");
    headless::Pick(dialog, kCombo, 0);
    EXPECT_EQ((std::vector<std::string>{"edited thr", "picked two"}), dialog.calls);
    EXPECT_EQ("set by the program", headless::ControlText(dialog, kCombo));
}

TEST_F(Dialogs, CloseBoxGoesThroughSysCommandCloseAndCancelToEndDialog) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    headless::CloseBox(dialog);
    EXPECT_EQ((std::vector<std::string>{"syscommand " + std::to_string(SC_CLOSE), "close", "ended by cancel"}),
              dialog.calls);
    EXPECT_EQ(IDCANCEL, headless::EndResult(dialog));
}

TEST_F(Dialogs, OkAndCancelCommandsEndTheDialog) {
    TestDialog ok;
    ASSERT_TRUE(headless::Create(ok));
    EXPECT_FALSE(headless::EndResult(ok));
    ok.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(IDOK, headless::EndResult(ok));
    TestDialog cancel;
    ASSERT_TRUE(headless::Create(cancel));
    cancel.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(IDCANCEL, headless::EndResult(cancel));
}

TEST_F(Dialogs, MinimiseAndRestoreAreCarriedOutByDefaultProcessing) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    headless::SystemCommand(dialog, SC_MINIMIZE);
    EXPECT_TRUE(dialog.IsIconic());
    headless::SystemCommand(dialog, SC_RESTORE | 0x2);  // the low four bits are not part of the command
    EXPECT_FALSE(dialog.IsIconic());
}

TEST_F(Dialogs, MinimisedWindowIsPaintedWithItsIconCentred) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    headless::SetClientSize(dialog, 36, 30);
    headless::SetIconic(dialog, true);
    headless::RunUntilIdle();
    std::vector<headless::IconDraw> draws = headless::TakeIconDraws();
    ASSERT_EQ(1u, draws.size());
    EXPECT_EQ(g_app.LoadIcon(kIcon), draws[0].icon);
    EXPECT_EQ(2, draws[0].x);
    EXPECT_EQ(0, draws[0].y);  // (30 - 32 + 1) / 2 truncates toward zero
}

TEST_F(Dialogs, IconsAreSharedHandlesOfTheRegisteredResource) {
    HICON icon = g_app.LoadIcon(kIcon);
    EXPECT_NE(nullptr, icon);
    EXPECT_EQ(icon, g_app.LoadIcon(kIcon));
    EXPECT_EQ(nullptr, g_app.LoadIcon(999));
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    EXPECT_EQ(nullptr, dialog.SetIcon(icon, TRUE));
    EXPECT_EQ(icon, dialog.SetIcon(nullptr, TRUE));
}

TEST_F(Dialogs, SystemMenuItemsSendTheirIdAsSystemCommand) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    CMenu* menu = dialog.GetSystemMenu(FALSE);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(menu, CMenu::FromHandle(menu->m_hMenu));
    CString about;
    ASSERT_TRUE(about.LoadString(kString));
    EXPECT_FALSE(CString().LoadString(999));
    menu->AppendMenu(MF_SEPARATOR);
    menu->AppendMenu(MF_STRING, 0x0010, about);
    auto items = headless::SystemMenuItems(dialog);
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ((std::pair<std::string, UINT>{"", 0}), items[items.size() - 2]);
    EXPECT_EQ((std::pair<std::string, UINT>{"&About Test...", 0x0010}), items.back());
    headless::SystemCommand(dialog, 0x0010);
    EXPECT_EQ(std::vector<std::string>{"syscommand 16"}, dialog.calls);

    TestDialog plain(kPlainDialog);
    ASSERT_TRUE(headless::Create(plain));
    EXPECT_EQ(nullptr, plain.GetSystemMenu(FALSE));
}

TEST_F(Dialogs, MessageBoxRecordsTextAndDefaultCaption) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    EXPECT_EQ(IDOK, dialog.MessageBox("File not found."));
    EXPECT_EQ(IDOK, dialog.MessageBox("Bad", "Zandrel: Caption", MB_OK));
    std::vector<headless::MessageBoxRecord> boxes = headless::TakeMessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("File not found.", boxes[0].text);
    EXPECT_EQ(AfxGetAppName(), boxes[0].caption);
    EXPECT_EQ("test_platform_framework", boxes[0].caption);
    EXPECT_EQ("Zandrel: Caption", boxes[1].caption);
    EXPECT_TRUE(headless::TakeMessageBoxes().empty());
}

TEST_F(Dialogs, OpenMessageBoxKeepsTimersAndPostedMessagesFlowing) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    dialog.SetTimer(1, 25, nullptr);
    dialog.PostMessage(g_nPing);
    headless::HoldMessageBoxes(80);
    dialog.MessageBox("waiting");
    EXPECT_EQ(80u, headless::Now());
    EXPECT_EQ((std::vector<std::string>{"ping 0", "tick 25", "tick 50", "tick 75"}), dialog.calls);
}

// What the user does while the thread waits for work run aside is handled once
// the wait is over, in order, and not inside a message box that a handler opens
// meanwhile; a click on a button that stops waits asks the work to stop, and so
// does every later wait until that click has been handled.
TEST_F(Dialogs, InputDuringAWaitIsHandledAfterItInOrderFromTheOutermostLoop) {
    TestDialog dialog;
    ASSERT_TRUE(headless::Create(dialog));
    int stops = 0;
    const std::function<void()> stop = [&] { ++stops; };
    {
        afx::InputDuringWait waiting(stop);
        headless::Type(dialog, kEdit, "typed");
        headless::Click(dialog, kCheck);
        EXPECT_EQ(stops, 0);
        headless::Click(dialog, kButton);
        EXPECT_EQ(stops, 1);
    }
    EXPECT_TRUE(dialog.calls.empty());
    EXPECT_EQ("", headless::ControlText(dialog, kEdit));
    { afx::InputDuringWait next(stop); }
    EXPECT_EQ(stops, 2) << "a later wait was not ended at once";
    dialog.boxOnPing = true;
    dialog.PostMessage(g_nPing);
    headless::HoldMessageBoxes(10);
    afx::DispatchAllPending();
    EXPECT_EQ((std::vector<std::string>{"ping 0", "box closed", "loop clicked", "go"}), dialog.calls);
    EXPECT_EQ("typed", headless::ControlText(dialog, kEdit));
    { afx::InputDuringWait after(stop); }
    EXPECT_EQ(stops, 2);
}

TEST_F(Dialogs, MainDialogModalLoopRunsUntilEndDialog) {
    TestDialog dialog;
    dialog.postOnInit = true;
    dialog.timerOnInit = 40;
    dialog.endAfterTicks = 3;
    g_app.m_pMainWnd = &dialog;
    EXPECT_EQ(77, dialog.DoModal());
    EXPECT_EQ((std::vector<std::string>{"ping 0", "tick 40", "tick 80", "tick 120"}), dialog.calls);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
}

TEST_F(Dialogs, MainDialogModalLoopEndsWhenNothingIsLeftToDo) {
    TestDialog dialog;
    dialog.postOnInit = true;
    g_app.m_pMainWnd = &dialog;
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(std::vector<std::string>{"ping 0"}, dialog.calls);
}

TEST_F(Dialogs, OtherModalDialogIsRecordedAndEndsWithOk) {
    TestDialog about(kOtherDialog);
    EXPECT_EQ(IDOK, about.DoModal());
    EXPECT_EQ(std::vector<UINT>{kOtherDialog}, headless::TakeModalDialogs());
    EXPECT_EQ(nullptr, about.m_hWnd);
}

TEST_F(Dialogs, DialogWithoutTemplateFailsToRun) {
    TestDialog missing(999);
    EXPECT_EQ(-1, missing.DoModal());
    EXPECT_FALSE(headless::Create(missing));
}

class SaveFileDialog : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Use(true);
        record.lStructSize = OPENFILENAME_SIZE_VERSION_400;
        record.lpstrFilter = "Text Files (*.txt)\0*.txt\0All (*.*)\0*.*\0";
        record.lpstrFile = buffer;
        record.nMaxFile = sizeof buffer;
        record.lpstrTitle = "Open File";
        record.lpstrDefExt = "txt";
    }
    char buffer[MAX_PATH] = "";
    OPENFILENAME record{};
};

TEST_F(SaveFileDialog, ChosenNameBecomesFullPathWithDefaultExtension) {
    headless::ScriptSaveFileName("capture");
    ASSERT_TRUE(GetSaveFileNameA(&record));
    std::string expected = (std::filesystem::current_path() / "capture.txt").string();
    EXPECT_EQ(expected, buffer);
    EXPECT_EQ(std::string(buffer).size() - 11, record.nFileOffset);
    EXPECT_EQ(std::string(buffer).size() - 3, record.nFileExtension);
    OPENFILENAME seen = headless::LastSaveFileRequest();
    EXPECT_EQ(76u, seen.lStructSize);
    EXPECT_STREQ("Open File", seen.lpstrTitle);
}

TEST_F(SaveFileDialog, NameWithExtensionIsKept) {
    headless::ScriptSaveFileName("/tmp/rx.log");
    ASSERT_TRUE(GetSaveFileNameA(&record));
    EXPECT_STREQ("/tmp/rx.log", buffer);
}

TEST_F(SaveFileDialog, CancelLeavesTheBufferAlone) {
    headless::ScriptSaveFileName(nullptr);
    EXPECT_FALSE(GetSaveFileNameA(&record));
    EXPECT_STREQ("", buffer);
    EXPECT_FALSE(GetSaveFileNameA(&record));  // nothing scripted: cancelled too
}

TEST_F(SaveFileDialog, PathLongerThanTheBufferFailsInsteadOfOverflowing) {
    char small[8] = "keep";
    record.lpstrFile = small;
    record.nMaxFile = sizeof small;
    headless::ScriptSaveFileName("/tmp/a-long-name.txt");
    EXPECT_FALSE(GetSaveFileNameA(&record));
    EXPECT_STREQ("keep", small);
}

TEST(CommandLine, ArgumentsJoinedBySpacesAndQuotedWhenTheyHoldOne) {
    const char* argv[] = {"/usr/bin/zandrel", "-w", "my file.txt", "-c", "3", ""};
    AfxSetCommandLine(6, argv);
    EXPECT_STREQ("/usr/bin/zandrel -w \"my file.txt\" -c 3 \"\"", GetCommandLineA());
    const char* only[] = {"zandrel"};
    AfxSetCommandLine(1, only);
    EXPECT_STREQ("zandrel", GetCommandLineA());
}

TEST(Application, DefaultNameIsTheProgramFileName) {
    EXPECT_STREQ("test_platform_framework", AfxGetAppName());
    EXPECT_STREQ("test_platform_framework", g_app.m_pszAppName);
    EXPECT_STREQ("test_platform_framework", AfxGetModuleState()->m_lpszCurrentAppName);
    EXPECT_EQ(&g_app, AfxGetApp());
    EXPECT_EQ(32, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(32, GetSystemMetrics(SM_CYICON));
}

}  // namespace
