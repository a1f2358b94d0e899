// The system menu and the keys around it: Alt+Space belongs to a window
// manager where there is one, so Shift+F10 opens the menu too and F1 opens
// the About box; the menu enables Restore only for a minimised window, and
// Alt+F4, which its Close item names, closes the window as the close box does.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/main_window.h"

namespace guitest {
namespace {

QMenu* OpenMenu() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* menu = qobject_cast<QMenu*>(widget); menu && menu->isVisible()) return menu;
    return nullptr;
}

QWidget* AboutBox() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->windowTitle() == "About Zandrel") return widget;
    return nullptr;
}

// Whether each item is enabled, by its text without the shortcut.
std::map<QString, bool> Items(const QMenu& menu) {
    std::map<QString, bool> items;
    for (QAction* action : menu.actions())
        if (!action->isSeparator()) items[action->text().section('\t', 0, 0)] = action->isEnabled();
    return items;
}

TEST_F(MainWindow, ShiftF10OpensTheSystemMenuWithRestoreOnlyForAMinimisedWindow) {
    EXPECT_EQ(IDOK, Run([&] {
        QTest::keyClick(Window(), Qt::Key_F10, Qt::ShiftModifier);
        QMenu* menu = OpenMenu();
        ASSERT_NE(nullptr, menu);
        EXPECT_EQ((std::map<QString, bool>{
                      {"&Restore", false}, {"Mi&nimize", true}, {"&Close", true}, {"&About Zandrel...", true}}),
                  Items(*menu));
        menu->hide();

        m_dlg->SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
        QTest::keyClick(Window(), Qt::Key_Space, Qt::AltModifier);
        menu = OpenMenu();
        ASSERT_NE(nullptr, menu);
        EXPECT_EQ((std::map<QString, bool>{
                      {"&Restore", true}, {"Mi&nimize", false}, {"&Close", true}, {"&About Zandrel...", true}}),
                  Items(*menu));
        menu->hide();
        m_dlg->SendMessage(WM_SYSCOMMAND, SC_RESTORE);
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(MainWindow, F1OpensTheAboutBox) {
    bool shown = false;
    QObject scope;
    EXPECT_EQ(IDOK, Run([&] {
        QTimer::singleShot(0, &scope, [&] {
            QWidget* about = AboutBox();
            shown = about != nullptr;
            ASSERT_NE(nullptr, about);
            QTest::mouseClick(about->findChild<QPushButton*>(QString::number(IDOK)), Qt::LeftButton);
        });
        QTest::keyClick(Window(), Qt::Key_F1);
        m_dlg->EndDialog(IDOK);
    }));
    EXPECT_TRUE(shown);
}

TEST_F(MainWindow, AltF4ClosesThePortAsTheCloseBoxDoes) {
    EXPECT_EQ(IDCANCEL, Run([&] {
        StartCapture();
        ASSERT_FALSE(PortFree());
        QTest::keyClick(Window(), Qt::Key_F4, Qt::AltModifier);
        // OnCancel ran at once and released the port; a key that did nothing must not hang the test.
        EXPECT_TRUE(PortFree());
        if (!PortFree()) m_dlg->EndDialog(SCRIPT_FAILED);
    }));
}

}  // namespace
}  // namespace guitest
