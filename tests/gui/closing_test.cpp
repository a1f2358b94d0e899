// The ways out of the window during a job: Escape cancels the dialog and the
// close box closes it, and both end the job as Stop does, before the dialog
// is gone: the capture's last pass, the line put back, the files released.
#include <termios.h>

#include <QApplication>
#include <QTest>

#include <chrono>
#include <thread>

#include "gui/main_window.h"
#include "transfer/dialog_on_pty.h"

namespace guitest {
namespace {

termios LineOf(const testsupport::Pty& pty) {
    termios line{};
    EXPECT_EQ(0, tcgetattr(pty.Master(), &line));
    return line;
}

bool SameLine(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

TEST_F(MainWindow, EscapeDuringACaptureStoresWhatJustArrivedAndPutsTheLineBack) {
    const termios before = LineOf(m_pty);
    EXPECT_EQ(IDCANCEL, Run([&] {
        StartCapture();
        ASSERT_FALSE(SameLine(before, LineOf(m_pty)));  // the job's 9600 8N1, raw
        m_pty.Send("z");
        // The byte reaches the port's queue; its notice waits, undispatched.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }));
    // The dialog object still lives: the way out ended the job.
    EXPECT_TRUE(PortFree());
    EXPECT_TRUE(SameLine(before, LineOf(m_pty)));
    EXPECT_EQ("z", transfertest::ReadFile(Path("capture.txt")));
    EXPECT_EQ("122|", transfertest::ReadFile(Path("capture_asci.txt")));
}

TEST_F(MainWindow, CloseBoxClosesThePortAndTheSendFile) {
    EXPECT_EQ(IDCANCEL, Run([&] {
        StartLoopWrite("abc");
        ASSERT_FALSE(PortFree());
        ASSERT_EQ(1, transfertest::OpenDescriptors(Path("send.txt")));
        Window()->close();
    }));
    // The dialog object still lives: OnCancel released both.
    EXPECT_TRUE(PortFree());
    EXPECT_EQ(0, transfertest::OpenDescriptors(Path("send.txt")));
}

}  // namespace
}  // namespace guitest
