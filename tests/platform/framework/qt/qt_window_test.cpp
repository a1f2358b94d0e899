// The Qt window on the offscreen platform: built from the template, user input
// reaching the handlers, posted messages, and a message box that keeps the
// timer ticking. Each test runs the dialog modally and acts from Qt timers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QKeyEvent>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <thread>

#include "../test_resources.h"
#include "../tick_allocations.h"
#include "platform/framework/qt/dialog_units.h"
#include "platform/framework/qt/qt_backend.h"

namespace {

using namespace testres;

const UINT g_nDone = RegisterWindowMessageA("ZandrelTest_QtDone");

class QtDialog : public CDialog {
public:
    QtDialog() : CDialog(kDialog) {}

    std::vector<std::string> calls;
    UINT timerPeriod = 0;
    int ticks = 0;
    int ticksDuringBox = 0;
    bool boxOnFirstTick = false;
    bool inBox = false;
    std::function<void()> onTick;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (timerPeriod) SetTimer(1, timerPeriod, nullptr);
        return TRUE;
    }

protected:
    afx_msg void OnGo() { calls.push_back("go"); }
    afx_msg void OnComboEdited() { calls.push_back("edited " + ComboText()); }
    afx_msg void OnComboPicked() { calls.push_back("picked " + ComboText()); }
    afx_msg void OnTimer(UINT) {
        ++ticks;
        if (onTick) onTick();
        if (inBox) ++ticksDuringBox;
        if (boxOnFirstTick && ticks == 1) {
            inBox = true;
            MessageBox("Ticking", "Zandrel: Test");
            inBox = false;
            EndDialog(IDOK);
        }
    }
    afx_msg LRESULT OnDone(WPARAM wParam, LPARAM lParam) {
        calls.push_back("done " + std::to_string(wParam) + " " + std::to_string(lParam));
        EndDialog(static_cast<int>(wParam));
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    std::string ComboText() const {
        CString text;
        GetDlgItemText(kCombo, text);
        return text.str();
    }
};

BEGIN_MESSAGE_MAP(QtDialog, CDialog)
    ON_BN_CLICKED(kButton, OnGo)
    ON_CBN_EDITCHANGE(kCombo, OnComboEdited)
    ON_CBN_SELCHANGE(kCombo, OnComboPicked)
    ON_WM_TIMER()
    ON_REGISTERED_MESSAGE(g_nDone, OnDone)
END_MESSAGE_MAP()

// A key press and release, as the keyboard would deliver them.
void Key(QWidget* target, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
}

void Type(QWidget* target, const QString& text) {
    for (QChar c : text) Key(target, Qt::Key_A + (c.toLower().unicode() - 'a'), QString(c));
}

// The next control that Tab reaches (the parts inside a control do not count).
QWidget* NextTabStop(QWidget* widget) {
    QWidget* window = widget->parentWidget();
    do widget = widget->nextInFocusChain();
    while (!(widget->focusPolicy() & Qt::TabFocus) || widget->parentWidget() != window);
    return widget;
}

// Counts the paints of the label it watches and keeps the text each drew.
class PaintWatch : public QObject {
public:
    int paints = 0;
    QString lastPainted;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            lastPainted = static_cast<QLabel*>(watched)->text();
        }
        return false;
    }
};

class QtWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::string reason;
        session = qtui::Session::Start("test_platform_framework_qt", reason).release();
        ASSERT_NE(nullptr, session) << reason;
    }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }
    void SetUp() override { g_app.m_pMainWnd = &dialog; }

    template <class T>
    T* Control(int id) {
        return qobject_cast<T*>(qtui::WidgetOf(dialog.GetDlgItem(id)->m_hWnd));
    }

    static qtui::Session* session;
    QtDialog dialog;
};

qtui::Session* QtWindow::session = nullptr;

TEST_F(QtWindow, WindowIsBuiltFromTheTemplate) {
    QTimer::singleShot(0, [&] {
        QWidget* window = qtui::WidgetOf(dialog.m_hWnd);
        ASSERT_NE(nullptr, window);
        EXPECT_EQ("Test Dialog", window->windowTitle());
        EXPECT_TRUE(window->isVisible());
        ASSERT_NE(nullptr, Control<QPushButton>(kButton));
        EXPECT_EQ("Go", Control<QPushButton>(kButton)->text());
        EXPECT_EQ("Loop", Control<QCheckBox>(kCheck)->text());
        ASSERT_NE(nullptr, Control<QLineEdit>(kEdit));
        QComboBox* combo = Control<QComboBox>(kCombo);
        ASSERT_NE(nullptr, combo);
        EXPECT_TRUE(combo->isEditable());
        EXPECT_EQ(QComboBox::NoInsert, combo->insertPolicy());
        ASSERT_EQ(3, combo->count());
        EXPECT_EQ("three", combo->itemText(2));
        EXPECT_EQ("", combo->currentText());
        EXPECT_NE(nullptr, window->findChild<QGroupBox*>());
        // Tab order follows the template: button, check box, edit, combo, other button.
        QWidget* stop = Control<QPushButton>(kButton);
        std::vector<QWidget*> order;
        for (int i = 0; i < 5; ++i, stop = NextTabStop(stop)) order.push_back(stop);
        EXPECT_EQ((std::vector<QWidget*>{Control<QPushButton>(kButton), Control<QCheckBox>(kCheck),
                                         Control<QLineEdit>(kEdit), Control<QComboBox>(kCombo),
                                         Control<QPushButton>(kDisabledByTest)}),
                  order);
        // Template positions in dialog units keep their order on screen.
        EXPECT_LT(Control<QPushButton>(kButton)->y(), Control<QCheckBox>(kCheck)->y());
        EXPECT_LT(Control<QPushButton>(kButton)->x(), Control<QPushButton>(kDisabledByTest)->x());
        dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
}

// Dialog units as Windows takes them from a dialog's font: a quarter of the
// average letter width, rounded to whole pixels, and an eighth of the height.
QSizeF WindowsUnits(const QFont& font) {
    QFontMetrics metrics(font);
    int baseX = (metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
    return QSizeF(baseX / 4.0, metrics.height() / 8.0);
}

TEST_F(QtWindow, ClientAreaIsTheTemplateInUnitsOfTheDesktopFont) {
    QTimer::singleShot(0, [&] {
        QWidget* window = qtui::WidgetOf(dialog.m_hWnd);
        EXPECT_EQ(QApplication::font(), window->font());
        QSizeF unit = WindowsUnits(QApplication::font());
        EXPECT_EQ(QSize(qRound(200 * unit.width()), qRound(100 * unit.height())), window->size());
        CRect client;
        dialog.GetClientRect(&client);
        EXPECT_EQ(window->width(), client.Width());
        EXPECT_EQ(window->height(), client.Height());
        dialog.EndDialog(IDOK);
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
}

TEST_F(QtWindow, UnitsGrowUntilEveryTextFitsItsBox) {
    auto labelled = [](short width) {
        return DialogTemplate{900, "Fit", 200, 50, "MS Sans Serif", 8, 0,
                              {{IDC_STATIC, ControlKind::Static, "Time Delay", 0, 5, 5, width, 10}}};
    };
    const QFont font = QApplication::font();
    QStyle* style = QApplication::style();
    EXPECT_EQ(WindowsUnits(font), qtui::DialogUnits(labelled(150), font, *style));
    QSizeF tight = qtui::DialogUnits(labelled(20), font, *style);
    EXPECT_EQ(WindowsUnits(font).height(), tight.height());
    EXPECT_EQ(QFontMetrics(font).horizontalAdvance("Time Delay"), qRound(20 * tight.width()))
        << "grown just enough";
}

TEST_F(QtWindow, UserInputReachesTheHandlersAndTheRecords) {
    QTimer::singleShot(0, [&] {
        Control<QPushButton>(kButton)->click();
        Control<QCheckBox>(kCheck)->click();
        Type(Control<QLineEdit>(kEdit), "typed");
        QComboBox* combo = Control<QComboBox>(kCombo);
        Type(combo->lineEdit(), "x");
        combo->setCurrentIndex(0);  // from a known entry; not user input, so no notification
        Key(combo, Qt::Key_Down);   // the user picks the next entry
        CString text;
        dialog.GetDlgItemText(kEdit, text);
        EXPECT_STREQ("typed", text);
        dialog.GetDlgItemText(kCombo, text);
        EXPECT_STREQ("two", text);
        EXPECT_EQ(BST_CHECKED, dialog.GetDlgItem(kCheck)->SendMessage(BM_GETCHECK));
        // And the other way: the program's changes show.
        dialog.SetDlgItemText(kStatus, "<b>received</b>");
        EXPECT_EQ("<b>received</b>", Control<QLabel>(kStatus)->text());
        EXPECT_EQ(Qt::PlainText, Control<QLabel>(kStatus)->textFormat());
        dialog.GetDlgItem(kButton)->EnableWindow(FALSE);
        EXPECT_FALSE(Control<QPushButton>(kButton)->isEnabled());
        dialog.GetDlgItem(kCombo)->SetToolTipText("one -> 1");
        EXPECT_EQ("one -> 1", combo->toolTip());
        Key(qtui::WidgetOf(dialog.m_hWnd), Qt::Key_Escape);
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ((std::vector<std::string>{"go", "edited x", "picked two"}), dialog.calls);
}

// A label set with every tick reads back each text at once, and the last
// one is what is drawn (as on Windows, how often is the program's to pace).
TEST_F(QtWindow, LabelSetWithEveryTickReadsBackAtOnceAndDrawsTheLast) {
    constexpr int kLines = 100;
    PaintWatch watch;
    int linesSet = 0;
    dialog.timerPeriod = 2;
    dialog.onTick = [&] {
        if (linesSet == kLines) return;
        if (linesSet == 0) Control<QLabel>(kStatus)->installEventFilter(&watch);
        const std::string line = "line " + std::to_string(++linesSet);
        dialog.SetDlgItemText(kStatus, line.c_str());
        CString back;
        dialog.GetDlgItemText(kStatus, back);
        EXPECT_EQ(line, back.str());
        if (linesSet < kLines) return;
        QTimer::singleShot(300, [&] {
            EXPECT_EQ("line 100", watch.lastPainted.toStdString());
            dialog.EndDialog(IDOK);
        });
    };
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(kLines, linesSet);
}

TEST_F(QtWindow, CloseBoxEndsTheDialogThroughCancel) {
    QTimer::singleShot(0, [&] { qtui::WidgetOf(dialog.m_hWnd)->close(); });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
}

TEST_F(QtWindow, MessagePostedFromAnotherThreadReachesItsHandler) {
    std::thread poster;
    QTimer::singleShot(0, [&] {
        HWND window = dialog.m_hWnd;
        poster = std::thread([window] { PostMessageA(window, g_nDone, 5, 6); });
    });
    EXPECT_EQ(5, dialog.DoModal());
    poster.join();
    EXPECT_EQ(std::vector<std::string>{"done 5 6"}, dialog.calls);
}

TEST_F(QtWindow, MessageBoxKeepsTheTimerTicking) {
    dialog.timerPeriod = 20;
    dialog.boxOnFirstTick = true;
    QTimer closer;
    closer.setInterval(250);
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("Ticking", box->text());
        EXPECT_EQ("Zandrel: Test", box->windowTitle());
        box->accept();
    });
    QTimer::singleShot(0, [&] { closer.start(); });
    EXPECT_EQ(IDOK, dialog.DoModal());
    // About 11 ticks of 20 ms fit in the time the box is open; allow for a slow machine.
    EXPECT_GE(dialog.ticksDuringBox, 5);
}

TEST_F(QtWindow, RunningTimerAllocatesNothingPerTick) {
    if (!ZANDREL_COUNTS_ALLOCATIONS) GTEST_SKIP() << "the sanitizer's allocator cannot be counted";
    ASSERT_TRUE(tickalloc::CounterSeesAllocations());
    tickalloc::TickingDialog ticking;
    g_app.m_pMainWnd = &ticking;
    EXPECT_EQ(IDOK, ticking.DoModal());
    EXPECT_EQ(ticking.allocationsAfterWarmUp, ticking.allocationsAtEnd);
}

}  // namespace
