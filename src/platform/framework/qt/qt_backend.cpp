#include "platform/framework/qt/qt_backend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

#include <atomic>
#include <climits>

#include "platform/framework/backend.h"
#include "platform/framework/icons.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/qt/dialog_widget.h"
#include "platform/framework/qt/qt_icons.h"
#include "platform/framework/qt/screenshot.h"

namespace qtui {
namespace {

QString FromText(const std::string& text) { return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())); }

DialogWidget* DialogOf(const afx::WindowNode& window) { return static_cast<DialogWidget*>(window.backendData); }

// Receives the wake-up that another thread posts after queueing a message;
// its only job is to end the event loop's wait.
class Waker : public QObject {
public:
    std::atomic<bool> pending{false};

    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) return QObject::event(event);
        pending.store(false);
        return true;
    }
};

class QtBackend : public afx::Backend {
public:
    QtBackend() {
        m_clock.start();
        m_deadline.setSingleShot(true);
        m_deadline.setTimerType(Qt::PreciseTimer);
    }

    std::uint64_t Now() override { return static_cast<std::uint64_t>(m_clock.elapsed()); }

    void WaitForWork(std::optional<std::uint64_t> deadline) override {
        // The deadline timer needs no handler: its event alone ends the wait.
        if (deadline) {
            std::uint64_t now = Now();
            m_deadline.start(static_cast<int>(std::min<std::uint64_t>(*deadline > now ? *deadline - now : 0, INT_MAX)));
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_deadline.stop();
    }

    void Wake() override {
        if (!m_waker.pending.exchange(true)) QCoreApplication::postEvent(&m_waker, new QEvent(QEvent::User));
    }

    void WindowCreated(afx::WindowNode& window) override { new DialogWidget(window); }

    void WindowDestroyed(afx::WindowNode& window) override {
        delete DialogOf(window);
        window.backendData = nullptr;
        for (afx::WindowNode* control : window.children) control->backendData = nullptr;
    }

    void ControlChanged(afx::WindowNode& control) override {
        if (control.parent && DialogOf(*control.parent)) DialogOf(*control.parent)->SyncControl(control);
    }

    void WindowStateChanged(afx::WindowNode& window) override {
        if (DialogWidget* widget = DialogOf(window)) widget->SyncWindow(window);
    }

    void Invalidate(afx::WindowNode& window) override {
        if (DialogWidget* widget = DialogOf(window)) widget->update();
    }

    void DrawIcon(afx::WindowNode& window, HICON icon, int x, int y) override {
        DialogWidget* widget = DialogOf(window);
        const IconResource* resource = afx::IconOf(icon);
        if (widget && widget->ActivePainter() && resource)
            widget->ActivePainter()->drawPixmap(x, y, PixmapFromResource(*resource, 32));
    }

    INT_PTR RunDialog(CDialog& dialog, afx::WindowNode& window) override {
        DialogWidget* widget = DialogOf(window);
        CWinApp* app = AfxGetApp();
        const bool mainWindow = app && app->m_pMainWnd == &dialog;
        if (!mainWindow) widget->setWindowModality(Qt::ApplicationModal);
        widget->show();
        widget->activateWindow();
        widget->FocusFirstTabStop();
        if (mainWindow) ScreenshotWhenShown(*widget);
        HWND handle = window.hwnd;
        afx::RunModalLoop([handle] {
            afx::WindowNode* node = afx::FindWindowNode(handle);
            return !node || node->modalEnded;
        });
        afx::WindowNode* node = afx::FindWindowNode(handle);
        if (!node) return -1;
        DialogOf(*node)->hide();
        return node->modalResult;
    }

    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT) override {
        QMessageBox box(QMessageBox::NoIcon, FromText(caption), FromText(text), QMessageBox::Ok, Parent(owner));
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::ApplicationModal);
        RunModal(box);
        return IDOK;  // one button: every way out of the box is OK
    }

    std::optional<std::string> ChooseSaveFileName(const afx::SaveFileRequest& request) override {
        QFileDialog dialog(Parent(request.owner), FromText(request.title), FromText(request.initialDirectory));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(FromText(request.defaultExtension));
        QStringList filters;
        for (const auto& [description, pattern] : request.filters) {
            QString filter = FromText(description);
            if (!filter.contains('(')) filter += " (" + FromText(pattern).replace(';', ' ') + ")";
            filters << filter;
        }
        dialog.setNameFilters(filters);
        if (!filters.isEmpty()) {
            DWORD index = request.filterIndex == 0 ? 1 : request.filterIndex;
            dialog.selectNameFilter(filters.value(static_cast<int>(index) - 1, filters.first()));
        }
        dialog.setWindowModality(Qt::ApplicationModal);
        if (!RunModal(dialog) || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().first().toLocal8Bit().toStdString();
    }

private:
    static QWidget* Parent(HWND owner) {
        afx::WindowNode* node = afx::FindWindowNode(owner);
        while (node && node->parent) node = node->parent;
        return node ? DialogOf(*node) : nullptr;
    }

    // Shows a Qt dialog and runs the framework's modal loop until it is
    // answered, so that posted messages and timers keep flowing meanwhile.
    static bool RunModal(QDialog& dialog) {
        bool done = false;
        QObject::connect(&dialog, &QDialog::finished, [&done] { done = true; });
        dialog.show();
        afx::RunModalLoop([&done] { return done; });
        return dialog.result() == QDialog::Accepted;
    }

    QElapsedTimer m_clock;
    QTimer m_deadline;
    Waker m_waker;
};

}  // namespace

Session::Session(int argc, char** argv) : m_argc(argc), m_argv(argv) {
    if (!QApplication::instance()) m_application = std::make_unique<QApplication>(m_argc, m_argv);
    static QtBackend* backend = new QtBackend;  // other threads may wake it until the process ends
    afx::SetBackend(backend);
}

Session::~Session() {
    afx::SetBackend(nullptr);
    m_application.reset();
}

QWidget* WidgetOf(HWND window) {
    afx::WindowNode* node = afx::FindWindowNode(window);
    return node ? static_cast<QWidget*>(node->backendData) : nullptr;
}

}  // namespace qtui
