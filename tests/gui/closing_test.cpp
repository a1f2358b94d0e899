// The two ways out of the window during a job: Escape cancels the dialog
// through the framework alone, the close box goes through OnClose, which
// releases the port and the send file before the dialog is gone.
#include <QApplication>
#include <QTest>

#include "gui/main_window.h"
#include "transfer/dialog_on_pty.h"

namespace guitest {
namespace {

TEST_F(MainWindow, EscapeCancelsTheDialogWithoutClosingThePort) {
    EXPECT_EQ(IDCANCEL, Run([&] {
        StartCapture();
        ASSERT_FALSE(PortFree());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }));
    EXPECT_FALSE(PortFree());  // OnClose did not run; the port goes with the dialog
    m_dlg.reset();
    EXPECT_TRUE(PortFree());
}

TEST_F(MainWindow, CloseBoxClosesThePortAndTheSendFile) {
    EXPECT_EQ(IDCANCEL, Run([&] {
        StartLoopWrite("abc");
        ASSERT_FALSE(PortFree());
        ASSERT_EQ(1, transfertest::OpenDescriptors(Path("send.txt")));
        Window()->close();
    }));
    // The dialog object still lives: OnClose released both.
    EXPECT_TRUE(PortFree());
    EXPECT_EQ(0, transfertest::OpenDescriptors(Path("send.txt")));
}

}  // namespace
}  // namespace guitest
