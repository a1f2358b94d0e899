// What a user-interface back-end supplies to the framework core: the clock, the
// way the user-interface thread sleeps until there is work, the modal pieces
// (message boxes, the file dialog, running a dialog) and the mirrors of the
// windows that the core keeps. The core owns all behaviour; a back-end only
// shows it and reports user input back.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/framework/window_registry.h"

namespace afx {

struct SaveFileRequest {
    const OPENFILENAME* record;  // as the caller gave it
    HWND owner;
    std::string title;
    std::vector<std::pair<std::string, std::string>> filters;  // description, pattern
    DWORD filterIndex;  // 1-based; 0 selects the first pair
    std::string initialDirectory;
    std::string defaultExtension;
};

struct JobProgressStart {
    AFX_JOB_KIND kind;
    const char* fileName;
    std::uint64_t fileSize;
    unsigned delay;
    bool loop;
    const char* to;
};

class Backend {
public:
    virtual ~Backend() = default;

    // Milliseconds on the back-end's clock.
    virtual std::uint64_t Now() = 0;
    // Sleeps until a message is posted, user input was handled, or the deadline
    // (on the back-end's clock) is reached.
    virtual void WaitForWork(std::optional<std::uint64_t> deadline) = 0;
    // Ends a WaitForWork; called from any thread.
    virtual void Wake() = 0;
    // Sends WM_PAINT to one window that needs painting, if the back-end paints
    // through the message loop; true when it did.
    virtual bool DispatchPaint() { return false; }
    // While other work runs aside (kernel/run_aside.h): paints the windows
    // until finished holds, woken by Wake, and keeps what the user does for
    // after the wait (InputDuringWait), calling stop when the user asks to
    // stop; false at once on a thread whose windows it does not paint this way.
    virtual bool KeepPainting(const std::function<bool()>& finished, const std::function<void()>& stop) { return false; }

    virtual void WindowCreated(WindowNode& window) = 0;  // a dialog with its controls
    virtual void WindowDestroyed(WindowNode& window) = 0;
    virtual void ControlChanged(WindowNode& control) = 0;  // text, enabled, check or list
    virtual void WindowStateChanged(WindowNode& window) = 0;  // caption, icons, enabled, minimised
    virtual void Invalidate(WindowNode& window) = 0;  // its look changed: paint it again
    virtual void DrawIcon(WindowNode& window, HICON icon, int x, int y) = 0;

    // Runs the dialog's modal loop until it ends; returns its result.
    virtual INT_PTR RunDialog(CDialog& dialog, WindowNode& window) = 0;
    virtual int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> ChooseSaveFileName(const SaveFileRequest& request) = 0;
    // A job's fault or notice (AfxReportJobFault, AfxReportJobNotice); a window
    // has already shown it in its status line.
    virtual void ReportJob(const std::string& text, bool fault) {}
    // The process is closing (a signal): every message box, file dialog and
    // modal dialog other than the main window ends now as if cancelled, and
    // any opened later ends at once, so that nothing waits for a user.
    virtual void CloseModalPieces() {}
    // A job's progress (AfxBeginJobProgress and its siblings); a window shows its status texts instead.
    virtual void BeginJobProgress(const JobProgressStart& start) {}
    virtual void NextJobPass(std::uint64_t fileSize) {}
    virtual void ReportJobProgress(DWORD count) {}
    virtual void HoldJobProgress(bool held, const char* why) {}
    // A hold of the job's line (AfxReportJobHold); a window has shown it in its status line.
    virtual void ReportJobHold(const std::string& text, bool begins) {}
    virtual void EndJobProgress() {}
};

// The back-end in use. It is set once, before any window exists, and lives
// until the process ends, so other threads may wake it without a lock.
Backend& CurrentBackend();
void SetBackend(Backend* backend);
Backend* BackendIfAny();  // null before one is set or after it has ended

}  // namespace afx
