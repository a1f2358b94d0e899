// The in-memory back-end: windows exist only as the framework's records. Time
// comes from the real clock (console run) or from a manual clock that moves
// only when a test advances it; message boxes are recorded (and printed in the
// console run), the file dialog answers from a script.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>

#include "platform/framework/backend.h"
#include "platform/framework/headless/console_output.h"
#include "platform/framework/headless/headless.h"
#include "platform/framework/headless/job_progress.h"

namespace headless {

class HeadlessBackend : public afx::Backend {
public:
    static HeadlessBackend& Instance();

    // Starts afresh: clock at 0, no records, no script.
    void Reset(bool manualClock, bool console);
    bool ManualClock() const { return m_manualClock; }

    std::uint64_t Now() override;
    void WaitForWork(std::optional<std::uint64_t> deadline) override;
    void Wake() override;
    bool DispatchPaint() override;

    void WindowCreated(afx::WindowNode& window) override;
    void WindowDestroyed(afx::WindowNode& window) override;
    void ControlChanged(afx::WindowNode& control) override;
    void WindowStateChanged(afx::WindowNode& window) override;
    void Invalidate(afx::WindowNode& window) override;
    void DrawIcon(afx::WindowNode& window, HICON icon, int x, int y) override;

    INT_PTR RunDialog(CDialog& dialog, afx::WindowNode& window) override;
    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    std::optional<std::string> ChooseSaveFileName(const afx::SaveFileRequest& request) override;
    void ReportJob(const std::string& text, bool fault) override;
    void BeginJobProgress(const afx::JobProgressStart& start) override;
    void NextJobPass(std::uint64_t fileSize) override { m_progress.NextPass(Now(), fileSize); }
    void ReportJobProgress(DWORD count) override { m_progress.Add(count); }
    void HoldJobProgress(bool held, const char* why) override { m_progress.Hold(held, why); }
    void ReportJobHold(const std::string& text, bool begins) override;
    void EndJobProgress() override;

    // Waits in real time until woken or the time point; false on time-out.
    bool WaitReal(std::optional<std::chrono::steady_clock::time_point> until);
    void AdvanceManualClock(std::uint64_t to);

    // Test and console-run records.
    std::deque<std::optional<std::string>> scriptedSaveNames;
    OPENFILENAME lastSaveRequest{};
    std::vector<MessageBoxRecord> messageBoxes;
    int messageBoxesShown = 0;
    std::vector<std::string> jobFaults;
    std::vector<std::string> jobNotices;
    std::vector<IconDraw> iconDraws;
    std::vector<UINT> modalDialogs;
    DWORD messageBoxHold = 0;
    // Tests see the progress line as it would be drawn (80 columns), and each summary.
    std::string progressLine;
    int progressRedraws = 0;
    std::vector<std::string> jobSummaries;

    // Writes what waits for standard error, ending the status line, and stops
    // its writer; a terminal that takes nothing holds this only briefly.
    void EndConsoleOutput();

    // On the console: a line of its own on standard error, in place of a status line shown there.
    void PrintLine(const std::string& text);

private:
    void ShowStatusLine(const std::string& text);
    void DrawProgressIfDue();

    bool m_manualClock = true;
    // A console run on a terminal shows the status line, and there a job's
    // progress; tests record the progress instead.
    bool m_statusOnTerminal = false;
    bool m_recordProgress = false;
    std::optional<ConsoleOutput> m_output;  // a console run's standard error
    JobProgress m_progress;
    std::uint64_t m_manualNow = 0;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::set<HWND> m_needPaint;

    std::mutex m_wakeLock;
    std::condition_variable m_wakeSignal;
    bool m_woken = false;
};

}  // namespace headless
