// The two jobs driven through the window: a click on Stop, received data on
// its way from the port's thread to the status line and the files, the status
// line holding still whatever the data, and a message box that does not hold
// up the writing.
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/main_window.h"
#include "transfer/dialog_on_pty.h"

namespace guitest {
namespace {

using transfertest::READING;
using transfertest::ReadFile;

// What the far end has received so far, without waiting.
std::string Received(const testsupport::Pty& pty) {
    std::string got;
    pollfd ready{pty.Master(), POLLIN, 0};
    char buffer[4096];
    while (poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN)) {
        ssize_t n = read(pty.Master(), buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

QMessageBox* OpenMessageBox() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
    return nullptr;
}

// Whether every character follows the one before it in the looping text.
bool FollowsTheLoop(const std::string& text, const std::string& loop) {
    for (size_t i = 1; i < text.size(); ++i) {
        size_t at = loop.find(text[i - 1]);
        if (at == std::string::npos || loop[(at + 1) % loop.size()] != text[i]) return false;
    }
    return true;
}

TEST_F(MainWindow, ClickOnStopEndsTheCaptureAndReleasesThePort) {
    EXPECT_EQ(IDOK, Run([&] {
        StartCapture();
        EXPECT_FALSE(Control<QPushButton>(IDC_WRITE_TO_PORT)->isEnabled());
        EXPECT_FALSE(Control<QPushButton>(IDC_CAPTURE_TO_FILE)->isEnabled());
        EXPECT_FALSE(PortFree());
        m_pty.Send("x");
        ASSERT_TRUE(WaitFor([&] { return !Status().isEmpty(); }, 5000));

        Click(IDC_STOP);
        EXPECT_TRUE(Control<QPushButton>(IDC_WRITE_TO_PORT)->isEnabled());
        EXPECT_TRUE(Control<QPushButton>(IDC_CAPTURE_TO_FILE)->isEnabled());
        EXPECT_EQ("", Status());
        EXPECT_TRUE(PortFree());
        m_dlg->EndDialog(IDOK);
    }));
}

// The status line is redrawn a few times a second at most: the text that
// follows another one at once still shows, a moment later.
TEST_F(MainWindow, DataReceivedDuringACaptureShowsInTheStatusLineAndTheFiles) {
    EXPECT_EQ(IDOK, Run([&] {
        StartCapture();
        m_pty.Send("Hi there");
        EXPECT_TRUE(WaitFor([&] { return Status() == QString(READING) + "Hi there"; }, 5000)) << Status().toStdString();
        m_pty.Send("Bye");
        EXPECT_TRUE(WaitFor([&] { return Status() == QString(READING) + "Bye"; }, 5000)) << Status().toStdString();
        Click(IDC_STOP);
        m_dlg->EndDialog(IDOK);
    }));
    EXPECT_EQ("Hi thereBye", ReadFile(Path("capture.txt")));
    EXPECT_EQ("72|105|32|116|104|101|114|101|66|121|101|", ReadFile(Path("capture_asci.txt")));
}

// Where a control's text is drawn: the bounding box of what differs from its
// background, taken at the bottom right corner, which short text never reaches.
QRect Ink(QWidget& control) {
    QImage image = control.grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) ink |= QRect(x, y, 1, 1);
    return ink;
}

// As a static control without word wrap: lines from the top left of a fixed
// rectangle, the second one cut at its bottom edge.
TEST_F(MainWindow, StatusLineStaysInPlaceAndDrawsFromItsTopLeftWhenDataHoldsLineBreaks) {
    EXPECT_EQ(IDOK, Run([&] {
        auto* status = Control<QLabel>(IDC_STATUS);
        const QRect place = status->geometry();
        StartCapture();
        m_pty.Send("one");
        ASSERT_TRUE(WaitFor([&] { return Status().endsWith("one"); }, 5000));
        const QRect oneLine = Ink(*status);
        m_pty.Send("two\r\nthree");
        ASSERT_TRUE(WaitFor([&] { return Status().endsWith("three"); }, 5000));
        const QRect twoLines = Ink(*status);

        EXPECT_EQ(place, status->geometry());
        const QFontMetrics metrics(status->font());
        // The top of the capital S of "Status" on the first line.
        EXPECT_LE(oneLine.top(), metrics.ascent() - metrics.capHeight() + 1);
        EXPECT_EQ(oneLine.topLeft(), twoLines.topLeft());
        EXPECT_GT(twoLines.bottom(), metrics.height());  // "three", below
        EXPECT_EQ(twoLines.bottom(), status->height() - 1);  // and clipped
        Click(IDC_STOP);
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(MainWindow, WritingGoesOnWhileAMessageBoxIsOpen) {
    constexpr int kBoxOpenMs = 300;
    std::string duringBox;
    QTimer closer;
    closer.setSingleShot(true);
    closer.setInterval(kBoxOpenMs);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        duringBox = Received(m_pty);
        QMessageBox* box = OpenMessageBox();
        ASSERT_NE(nullptr, box);
        EXPECT_EQ("Still writing", box->text());
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    EXPECT_EQ(IDOK, Run([&] {
        StartLoopWrite("abc");
        Received(m_pty);  // what went out before the box
        closer.start();
        m_dlg->MessageBox("Still writing");
        EXPECT_FALSE(closer.isActive());  // the box was closed by the click
        Click(IDC_STOP);
        m_dlg->EndDialog(IDOK);
    }));
    // 12 ticks of 25 ms while the box is open, 9 of them sending; a loaded machine may manage fewer.
    EXPECT_GE(duringBox.size(), 4u) << duringBox;
    EXPECT_TRUE(FollowsTheLoop(duringBox, "abc")) << duringBox;
}

}  // namespace
}  // namespace guitest
