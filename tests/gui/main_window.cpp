#include "gui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "platform/framework/backend.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/qt/qt_backend.h"
#include "transfer/dialog_on_pty.h"

namespace guitest {
namespace {

// One Qt application for the whole executable, on the offscreen platform.
class QtSession : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::string reason;
        m_session = qtui::Session::Start("test_gui", reason);
        ASSERT_NE(nullptr, m_session) << reason;
    }
    void TearDown() override { m_session.reset(); }

private:
    std::unique_ptr<qtui::Session> m_session;
};

[[maybe_unused]] const ::testing::Environment* const g_session = ::testing::AddGlobalTestEnvironment(new QtSession);

// The edit field that takes typing: a combo box types into its line edit.
QLineEdit* TypingTarget(QWidget* control) {
    if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->lineEdit();
    return qobject_cast<QLineEdit*>(control);
}

}  // namespace

void MainWindow::SetUp() {
    m_pty.MapAs(COM_NUMBER);
    char pattern[] = "/tmp/zandrel-gui-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    m_dlg = std::make_unique<CZandrelDlg>();
    AfxGetApp()->m_pMainWnd = m_dlg.get();
}

void MainWindow::TearDown() {
    m_dlg.reset();
    AfxGetApp()->m_pMainWnd = nullptr;
    std::filesystem::remove_all(m_dir);
}

INT_PTR MainWindow::Run(const std::function<void()>& script) {
    // A zero timer fires once the dialog is shown and the command-line message
    // handled. Keys go to the active window, which the offscreen platform
    // activates a moment after showing it.
    QObject scope;  // a dialog that never shows must not leave the script pending
    QTimer::singleShot(0, &scope, [&] {
        const bool active = WaitFor([&] { return QApplication::activeWindow() == Window(); }, 5000);
        EXPECT_TRUE(active) << "the window never became active";
        if (active) script();
        if (!active || HasFatalFailure()) m_dlg->EndDialog(SCRIPT_FAILED);
    });
    return m_dlg->DoModal();
}

QWidget* MainWindow::Window() const { return qtui::WidgetOf(m_dlg->m_hWnd); }

int MainWindow::FocusedControl() const {
    // Inside a combo box the focus may sit on one of its parts.
    for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget())
        if (widget->parentWidget() == Window()) return widget->objectName().toInt();
    return 0;
}

QString MainWindow::Status() const { return Control<QLabel>(IDC_STATUS)->text(); }

void MainWindow::Click(int id) {
    QWidget* control = Control<QWidget>(id);
    ASSERT_NE(nullptr, control) << id;
    QTest::mouseClick(control, Qt::LeftButton);
}

void MainWindow::TypeInto(int id, const QString& text) {
    QLineEdit* edit = TypingTarget(Control<QWidget>(id));
    ASSERT_NE(nullptr, edit) << id;
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

void MainWindow::StartCapture() {
    TypeInto(IDC_COM_PORT, PORT_TEXT);
    TypeInto(IDC_CAPTURE_FILE, QString::fromStdString(Path("capture.txt").string()));
    Click(IDC_CAPTURE_TO_FILE);
}

void MainWindow::StartLoopWrite(const std::string& bytes) {
    transfertest::WriteFile(Path("send.txt"), bytes);
    ASSERT_TRUE(Control<QCheckBox>(IDC_LOOP)->isChecked());
    TypeInto(IDC_COM_PORT, PORT_TEXT);
    TypeInto(IDC_SEND_FILE, QString::fromStdString(Path("send.txt").string()));
    Click(IDC_WRITE_TO_PORT);
}

bool MainWindow::WaitFor(const std::function<bool()>& done, int milliseconds) {
    afx::RunModalLoop(done, afx::CurrentBackend().Now() + static_cast<std::uint64_t>(milliseconds));
    return done();
}

bool MainWindow::PortFree() const { return transfertest::PortFree(m_pty); }

}  // namespace guitest
