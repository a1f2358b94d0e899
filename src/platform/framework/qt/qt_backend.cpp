#include "platform/framework/qt/qt_backend.h"

#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <ctime>
#include <vector>

#include "platform/framework/backend.h"
#include "platform/framework/icons.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/qt/box_placement.h"
#include "platform/framework/qt/dialog_widget.h"
#include "platform/framework/qt/program_text.h"
#include "platform/framework/qt/qt_icons.h"
#include "platform/framework/qt/qt_start.h"
#include "platform/framework/qt/screenshot.h"

namespace qtui {
namespace {

DialogWidget* DialogOf(const afx::WindowNode& window) { return static_cast<DialogWidget*>(window.backendData); }

constexpr std::int64_t kNanosecondsPerMillisecond = 1000000;
constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

std::int64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * kNanosecondsPerSecond + now.tv_nsec;
}

// Empties a timerfd or an eventfd, so that it stops reading as ready.
void Drain(int fd) {
    std::uint64_t count;
    ssize_t got = read(fd, &count, sizeof count);
    (void)got;  // nothing there (EAGAIN) is as good as drained
}

class QtBackend : public afx::Backend {
public:
    // A deadline is a re-armed timerfd and a wake-up a write to an eventfd,
    // both made once, so neither the ticks of a timer nor the posts of another
    // thread allocate anything. The descriptors stay open for the process:
    // another thread may still wake the back-end after the last window.
    QtBackend()
        : m_deadlineFd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)),
          m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

    // Watches the descriptors in the event loop of the application now running.
    void Attach() {
        m_deadlineNotifier = Watch(m_deadlineFd);
        // A deadline that has passed is no longer armed.
        QObject::connect(m_deadlineNotifier.get(), &QSocketNotifier::activated, [this] { m_armedDeadline.reset(); });
        m_wakeNotifier = Watch(m_wakeFd);
    }
    // Before that application ends, as its event loop goes with it.
    void Detach() {
        m_deadlineNotifier.reset();
        m_wakeNotifier.reset();
    }

    std::uint64_t Now() override {
        return static_cast<std::uint64_t>((MonotonicNanoseconds() - m_start) / kNanosecondsPerMillisecond);
    }

    void WaitForWork(std::optional<std::uint64_t> deadline) override {
        // A capture waits once for every packet, mostly with no deadline or
        // the same one: the descriptor is set only when the deadline moves.
        if (deadline != m_armedDeadline) Arm(deadline);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The widgets take clicks and keys meanwhile; what they report is kept
    // for the dialog's own loop, so no handler runs inside the call that
    // waits here, and a request to stop ends the wait.
    bool KeepPainting(const std::function<bool()>& finished, const std::function<void()>& stop) override {
        if (!m_wakeNotifier || QThread::currentThread() != QCoreApplication::instance()->thread()) return false;
        afx::InputDuringWait keeping(stop);
        while (!finished()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return true;
    }

    void Wake() override {
        std::uint64_t one = 1;
        ssize_t written = write(m_wakeFd, &one, sizeof one);
        (void)written;  // only a counter about to overflow refuses, and then it is ready anyway
    }

    void WindowCreated(afx::WindowNode& window) override { new DialogWidget(window); }

    void WindowDestroyed(afx::WindowNode& window) override {
        delete DialogOf(window);
        window.backendData = nullptr;
        for (afx::WindowNode* control : window.children) control->backendData = nullptr;
    }

    void ControlChanged(afx::WindowNode& control) override {
        DialogWidget* dialog = control.parent ? DialogOf(*control.parent) : nullptr;
        if (!dialog) return;
        dialog->SyncControl(control);
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
        if (!mainWindow && m_closing) return IDCANCEL;
        if (!mainWindow) {
            widget->setWindowModality(Qt::ApplicationModal);
            // A dialog without an owner of its own is owned by the main window, and opens over it.
            new CentreOnOwner(*widget, app && app->m_pMainWnd ? Parent(app->m_pMainWnd->m_hWnd) : nullptr);
        }
        widget->show();
        widget->activateWindow();
        widget->FocusFirstTabStop();
        if (mainWindow) ScreenshotWhenShown(*widget);
        HWND handle = window.hwnd;
        afx::RunModalLoop([this, handle, mainWindow] {
            afx::WindowNode* node = afx::FindWindowNode(handle);
            return !node || node->modalEnded || (m_closing && !mainWindow);
        });
        if (mainWindow) m_closing = false;  // what was closing has closed
        afx::WindowNode* node = afx::FindWindowNode(handle);
        if (!node) return -1;
        DialogOf(*node)->hide();
        return node->modalEnded ? node->modalResult : IDCANCEL;
    }

    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT) override {
        if (m_closing) return IDOK;
        // A box raised as the window comes up (by a switch) waits until the
        // window is placed and drawn, so that it opens over the window.
        if (DialogWidget* parent = Parent(owner); parent && parent->isVisible() && !parent->Drawn()) {
            afx::RunModalLoop([this, owner] {
                DialogWidget* now = Parent(owner);
                return m_closing || !now || now->Drawn();
            });
            if (m_closing) return IDOK;
        }
        DialogWidget* parent = Parent(owner);
        QMessageBox box(QMessageBox::NoIcon, FromText(caption), FromText(text), QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::ApplicationModal);
        WidenForCaption(box);
        new CentreOnOwner(box, parent);
        RunModal(box);
        return IDOK;  // one button: every way out of the box is OK
    }

    std::optional<std::string> ChooseSaveFileName(const afx::SaveFileRequest& request) override {
        if (m_closing) return std::nullopt;
        QFileDialog dialog(Parent(request.owner), FromText(request.title), FromText(request.initialDirectory));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        // The descriptions are shown as given; the patterns Qt filters by follow them.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(FromText(request.defaultExtension));
        QStringList filters;
        for (const auto& [description, pattern] : request.filters)
            filters << FromText(description) + " (" + QtPatterns(FromText(pattern)) + ")";
        dialog.setNameFilters(filters);
        if (!filters.isEmpty()) {
            DWORD index = request.filterIndex == 0 ? 1 : request.filterIndex;
            dialog.selectNameFilter(filters.value(static_cast<int>(index) - 1, filters.first()));
        }
        dialog.setWindowModality(Qt::ApplicationModal);
        WidenForDetails(dialog);
        if (!RunModal(dialog) || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return ToText(dialog.selectedFiles().first());
    }

    void CloseModalPieces() override {
        m_closing = true;
        // Ending a box ends its modal loop; the list shrinks as each one returns.
        for (QDialog* box : m_openBoxes) box->reject();
    }

private:
    // Armed at the absolute due time, so a tick keeps to its intended time
    // however long this pass took; no deadline disarms it.
    void Arm(std::optional<std::uint64_t> deadline) {
        itimerspec due{};
        if (deadline) {
            std::int64_t at = m_start + static_cast<std::int64_t>(*deadline) * kNanosecondsPerMillisecond;
            due.it_value = {static_cast<time_t>(at / kNanosecondsPerSecond), static_cast<long>(at % kNanosecondsPerSecond)};
        }
        timerfd_settime(m_deadlineFd, TFD_TIMER_ABSTIME, &due, nullptr);
        m_armedDeadline = deadline;
    }

    static DialogWidget* Parent(HWND owner) {
        afx::WindowNode* node = afx::FindWindowNode(owner);
        while (node && node->parent) node = node->parent;
        return node ? DialogOf(*node) : nullptr;
    }

    // Its event alone ends the wait; the handler only empties the descriptor.
    static std::unique_ptr<QSocketNotifier> Watch(int fd) {
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [fd] { Drain(fd); });
        return notifier;
    }

    // A Windows filter pattern as Qt's: "*.*" matches every file on Windows,
    // also one without an extension (most files on Linux).
    static QString QtPatterns(const QString& pattern) {
        QStringList patterns = pattern.split(';', Qt::SkipEmptyParts);
        for (QString& each : patterns)
            if (each.trimmed() == "*.*") each = "*";
        return patterns.join(' ');
    }

    // Shows a Qt dialog and runs the framework's modal loop until it is
    // answered, so that posted messages and timers keep flowing meanwhile.
    bool RunModal(QDialog& dialog) {
        bool done = false;
        QObject::connect(&dialog, &QDialog::finished, [&done] { done = true; });
        m_openBoxes.push_back(&dialog);
        dialog.show();
        afx::RunModalLoop([&done] { return done; });
        m_openBoxes.erase(std::find(m_openBoxes.begin(), m_openBoxes.end(), &dialog));
        return dialog.result() == QDialog::Accepted;
    }

    std::int64_t m_start = MonotonicNanoseconds();
    const int m_deadlineFd;
    const int m_wakeFd;
    std::optional<std::uint64_t> m_armedDeadline;  // what the deadline descriptor holds
    std::unique_ptr<QSocketNotifier> m_deadlineNotifier;
    std::unique_ptr<QSocketNotifier> m_wakeNotifier;
    std::vector<QDialog*> m_openBoxes;  // message boxes and file dialogs, innermost last
    bool m_closing = false;
};

// Other threads may wake the back-end until the process ends.
QtBackend& TheBackend() {
    static QtBackend* backend = new QtBackend;
    return *backend;
}

}  // namespace

std::unique_ptr<Session> Session::Start(const char* programName, std::string& reason) {
    std::unique_ptr<QApplication> application;
    if (!QApplication::instance()) {
        application = StartApplication(programName, reason);
        if (!application) return nullptr;
    }
    return std::unique_ptr<Session>(new Session(std::move(application)));
}

Session::Session(std::unique_ptr<QApplication> application) : m_application(std::move(application)) {
    TheBackend().Attach();
    afx::SetBackend(&TheBackend());
}

Session::~Session() {
    afx::SetBackend(nullptr);
    TheBackend().Detach();
    m_application.reset();
}

QWidget* WidgetOf(HWND window) {
    afx::WindowNode* node = afx::FindWindowNode(window);
    return node ? static_cast<QWidget*>(node->backendData) : nullptr;
}

}  // namespace qtui
