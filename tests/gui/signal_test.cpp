// SIGINT, SIGTERM and SIGHUP in a window run: every open box closes, then the
// window, as its close box would; nothing waits for a user who is not there.
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "gui/main_window.h"
#include "platform/framework/signal_watch.h"

namespace guitest {
namespace {

// Blocked before any thread exists, as the program does at its start, so that
// the watcher takes the signals this test sends to the whole process.
[[maybe_unused]] const bool g_signalsBlocked = (SignalWatch::BlockSignals(), true);

QWidget* OpenBox() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->isModal()) return widget;
    return nullptr;
}

class SignalInWindow;

// Opens a box from inside the window's loop; returns once the box is closed.
struct Opener {
    const char* name;
    int signalNumber;
    std::function<void(SignalInWindow&)> open;
};

void PrintTo(const Opener& opener, std::ostream* out) { *out << opener.name; }

class SignalInWindow : public MainWindow, public ::testing::WithParamInterface<Opener> {
public:
    CZandrelDlg& Dialog() { return *m_dlg; }
    void ClickOn(int id) { Click(id); }
};

TEST_P(SignalInWindow, ClosesTheOpenBoxThenTheWindowAndThePort) {
    SignalWatch watch;
    bool leftOpen = false;
    // Closes a box the signal left open, so that a failing run still ends.
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        if (QWidget* box = OpenBox(); box && box != Window()) {
            leftOpen = true;
            if (auto* dialog = qobject_cast<QDialog*>(box))
                dialog->reject();
            else
                box->close();
        }
    });
    EXPECT_EQ(IDCANCEL, Run([&] {
        StartCapture();
        ASSERT_FALSE(PortFree());
        rescue.start(5000);
        kill(getpid(), GetParam().signalNumber);
        GetParam().open(*this);
    }));
    EXPECT_FALSE(leftOpen) << "the box waited for a user";
    EXPECT_TRUE(PortFree());  // through OnCancel, as the close box goes
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, SignalInWindow,
    ::testing::Values(
        Opener{"MessageBox", SIGTERM, [](SignalInWindow& test) { test.Dialog().MessageBox("Waiting for OK"); }},
        Opener{"AboutBox", SIGINT,
               [](SignalInWindow& test) { test.Dialog().SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX); }},
        Opener{"FileDialog", SIGHUP, [](SignalInWindow& test) { test.ClickOn(IDC_BROWSE_CAPTURE); }}),
    [](const ::testing::TestParamInfo<Opener>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace guitest
