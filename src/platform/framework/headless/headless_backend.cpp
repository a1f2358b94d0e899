#include "platform/framework/headless/headless_backend.h"

#include <errno.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/framework/dialog_units.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/message_queue.h"
#include "platform/framework/timer_table.h"

namespace headless {
namespace {

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// Received data ends up in the status line: show it without letting control
// characters or escape sequences reach the terminal, and keep it to one row so
// that \r can rewrite it.
std::string PrintableLine(const std::string& text, int columns) {
    std::string line;
    for (unsigned char c : text) {
        if (static_cast<int>(line.size()) + 1 >= columns) break;
        line += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
    }
    return line;
}

}  // namespace

HeadlessBackend& HeadlessBackend::Instance() {
    static HeadlessBackend backend;
    return backend;
}

void HeadlessBackend::Reset(bool manualClock, bool console) {
    m_manualClock = manualClock;
    m_statusOnTerminal = console && isatty(STDERR_FILENO);
    m_output.reset();
    if (console) m_output.emplace();
    m_recordProgress = !console;
    m_progress.End();
    progressLine.clear();
    progressRedraws = 0;
    jobSummaries.clear();
    m_manualNow = 0;
    m_start = std::chrono::steady_clock::now();
    m_needPaint.clear();
    scriptedSaveNames.clear();
    lastSaveRequest = OPENFILENAME{};
    messageBoxes.clear();
    messageBoxesShown = 0;
    jobFaults.clear();
    jobNotices.clear();
    iconDraws.clear();
    modalDialogs.clear();
    messageBoxHold = 0;
    afx::SetBackend(this);
}

std::uint64_t HeadlessBackend::Now() {
    if (m_manualClock) return m_manualNow;
    auto elapsed = std::chrono::steady_clock::now() - m_start;
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void HeadlessBackend::AdvanceManualClock(std::uint64_t to) {
    if (to > m_manualNow) m_manualNow = to;
}

void HeadlessBackend::WaitForWork(std::optional<std::uint64_t> deadline) {
    if (m_manualClock) {
        // Nothing else moves a manual clock while a modal loop waits: go straight to the deadline.
        if (deadline)
            AdvanceManualClock(*deadline);
        else
            WaitReal(std::nullopt);
        return;
    }
    // The progress line's clocks move on while nothing else happens.
    if (m_statusOnTerminal && m_progress.Running() && (!deadline || m_progress.NextRedraw() < *deadline))
        deadline = m_progress.NextRedraw();
    if (deadline)
        WaitReal(m_start + std::chrono::milliseconds(*deadline));
    else
        WaitReal(std::nullopt);
}

bool HeadlessBackend::WaitReal(std::optional<std::chrono::steady_clock::time_point> until) {
    std::unique_lock lock(m_wakeLock);
    bool woken = true;
    if (until)
        woken = m_wakeSignal.wait_until(lock, *until, [this] { return m_woken; });
    else
        m_wakeSignal.wait(lock, [this] { return m_woken; });
    m_woken = false;
    return woken;
}

void HeadlessBackend::Wake() {
    {
        std::lock_guard lock(m_wakeLock);
        m_woken = true;
    }
    m_wakeSignal.notify_one();
}

void HeadlessBackend::Invalidate(afx::WindowNode& window) { m_needPaint.insert(window.hwnd); }

bool HeadlessBackend::DispatchPaint() {
    DrawProgressIfDue();
    if (m_needPaint.empty()) return false;
    HWND window = *m_needPaint.begin();
    m_needPaint.erase(m_needPaint.begin());
    afx::DispatchToWindow(window, WM_PAINT, 0, 0);
    return true;
}

void HeadlessBackend::WindowCreated(afx::WindowNode& window) {
    window.clientWidth = window.dialogTemplate->cx * afx::kDialogBaseUnitX / 4;
    window.clientHeight = window.dialogTemplate->cy * afx::kDialogBaseUnitY / 8;
}

void HeadlessBackend::WindowDestroyed(afx::WindowNode& window) { m_needPaint.erase(window.hwnd); }

void HeadlessBackend::ControlChanged(afx::WindowNode& control) {
    // While a job's progress is drawn, it is the status line.
    if (m_statusOnTerminal && !m_progress.Running() && control.controlKind == ControlKind::Static && control.parent &&
        control.parent->initialised)
        ShowStatusLine(control.text);
}

void HeadlessBackend::ShowStatusLine(const std::string& text) {
    m_output->ShowStatus(PrintableLine(text, TerminalColumns()).c_str());
}

void HeadlessBackend::BeginJobProgress(const afx::JobProgressStart& start) {
    if (!m_statusOnTerminal && !m_recordProgress) return;
    EndJobProgress();
    if (start.kind != AFX_JOB_CAPTURE)
        m_progress.BeginWrite(Now(), start.fileSize, start.delay, start.loop, start.kind == AFX_JOB_REPLAY, start.to);
    else
        m_progress.BeginCapture(Now(), start.fileName);
}

// Drawn between dispatches, like painting: never inside a tick or a capture
// pass, and never ahead of a tick that is due.
void HeadlessBackend::DrawProgressIfDue() {
    if (!m_progress.Running()) return;
    std::uint64_t now = Now();
    if (now < m_progress.NextRedraw()) return;
    std::optional<std::uint64_t> tick = afx::NextTimerDue();
    if (tick && *tick <= now) return;
    if (m_recordProgress) {
        progressLine = m_progress.Line(now, 80);
        ++progressRedraws;
        return;
    }
    if (m_output) m_output->ShowStatus(m_progress.Line(now, TerminalColumns()));
}

void HeadlessBackend::EndJobProgress() {
    if (!m_progress.Running()) return;
    std::string summary = m_progress.Summary(Now());
    m_progress.End();
    if (m_recordProgress) {
        jobSummaries.push_back(summary);
        return;
    }
    PrintLine(summary);
}

void HeadlessBackend::EndConsoleOutput() {
    m_statusOnTerminal = false;
    m_output.reset();
}

void HeadlessBackend::PrintLine(const std::string& text) {
    if (!m_output) return;
    m_output->PrintLine(text);
    m_progress.Redraw();  // the progress line comes back below it
}

// Nothing shows a window's caption, icons or state here; the records are all there is.
void HeadlessBackend::WindowStateChanged(afx::WindowNode&) {}

void HeadlessBackend::DrawIcon(afx::WindowNode&, HICON icon, int x, int y) { iconDraws.push_back({icon, x, y}); }

INT_PTR HeadlessBackend::RunDialog(CDialog& dialog, afx::WindowNode& window) {
    CWinApp* app = AfxGetApp();
    if (!app || app->m_pMainWnd != &dialog) {
        // Nobody can answer another dialog (the About box) here: it ends as if OK was pressed.
        modalDialogs.push_back(window.dialogTemplate->id);
        dialog.EndDialog(IDOK);
        return IDOK;
    }
    // The main window ends with its job: once nothing is queued, no timer is set
    // and the dialog waits for nothing outside.
    auto idle = [&] { return afx::QueueEmpty() && !afx::AnyTimerSet() && !dialog.IsBusy(); };
    HWND handle = window.hwnd;
    auto ended = [handle] {
        afx::WindowNode* node = afx::FindWindowNode(handle);
        return !node || node->modalEnded;
    };
    afx::RunModalLoop([&] { return ended() || idle(); });
    afx::WindowNode* node = afx::FindWindowNode(handle);
    return node && node->modalEnded ? node->modalResult : IDCANCEL;
}

int HeadlessBackend::ShowMessageBox(HWND, const std::string& text, const std::string& caption, UINT type) {
    messageBoxes.push_back({text, caption, type});
    ++messageBoxesShown;
    PrintLine(caption + "\n" + text);
    if (messageBoxHold > 0) {
        // The box stays open for a while; the modal loop keeps messages and timers flowing.
        afx::RunModalLoop([] { return false; }, Now() + messageBoxHold);
    }
    return IDOK;
}

void HeadlessBackend::ReportJob(const std::string& text, bool fault) {
    (fault ? jobFaults : jobNotices).push_back(text);
    PrintLine(std::string(program_invocation_short_name) + ": " + text);
}

void HeadlessBackend::ReportJobHold(const std::string& text, bool begins) {
    // The progress line on the terminal says it; a log gets one line a hold.
    if (begins && !(m_statusOnTerminal && m_progress.Running())) {
        ReportJob(text, false);
        return;
    }
    jobNotices.push_back(text);
}

std::optional<std::string> HeadlessBackend::ChooseSaveFileName(const afx::SaveFileRequest& request) {
    lastSaveRequest = *request.record;
    if (scriptedSaveNames.empty()) return std::nullopt;
    std::optional<std::string> answer = scriptedSaveNames.front();
    scriptedSaveNames.pop_front();
    return answer;
}

}  // namespace headless
