// The in-memory back-end: controls without a screen. It serves the console run
// and the tests. Tests drive it through the functions below: a manual clock that
// stands still until advanced, dialogs created without a modal loop, a scripted
// file dialog and recorded message boxes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/framework/afxwin.h"

namespace headless {

// Selects the headless back-end for this process (tests call it first; the
// console run selects it itself). With a manual clock, time moves only
// through Advance.
void Use(bool manualClock);

// Creates the dialog's window and controls from its template and runs its
// OnInitDialog, as DoModal would, but returns at once; posted messages wait
// for RunUntilIdle, Advance or DispatchFor.
BOOL Create(CDialog& dialog);
// Destroys the window (as the end of a modal loop would) without any message.
void Destroy(CWnd& window);

// A window with no controls, for receiving posted messages.
BOOL CreateMessageWindow(CWnd& window);

// Handles every posted message and every timer tick that is due now, including
// those posted by the handlers themselves; returns the number handled.
int RunUntilIdle();
// Manual clock: moves time forward by the given milliseconds, running each
// timer tick at its due time, in order, with RunUntilIdle after each.
void Advance(DWORD milliseconds);
DWORD Now();  // milliseconds since Use()

// Real time: dispatches posted messages (and due timers) as they arrive until
// the condition holds (checked after every message) or the time-out elapses;
// returns the condition's last value.
bool DispatchUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds);

// The file dialog's next answer: a path, or null for Cancel. Answers queue up
// in order; a file dialog with no scripted answer is cancelled.
void ScriptSaveFileName(const char* pathOrNullForCancel);
// What the last GetSaveFileNameA was given.
OPENFILENAME LastSaveFileRequest();

// Message boxes stay open for this long on the clock before they are answered
// OK (0, the default: answered at once). While one is open its modal loop keeps
// posted messages and timers flowing; with a manual clock the time passes at once.
void HoldMessageBoxes(DWORD milliseconds);

struct MessageBoxRecord {
    std::string text;
    std::string caption;  // as shown: the application name when none was given
    UINT type;
};
// Every message box shown since the last call (each answered OK).
std::vector<MessageBoxRecord> TakeMessageBoxes();
// Every job fault reported (AfxReportJobFault) since the last call.
std::vector<std::string> TakeJobFaults();
std::vector<std::string> TakeJobNotices();  // likewise AfxReportJobNotice

// A job's progress line as last drawn (80 columns) and how often it was drawn;
// it is drawn between dispatches, when due. Every job summary since the last call.
std::string ProgressLine();
int ProgressRedraws();
std::vector<std::string> TakeJobSummaries();

// Control state, for assertions.
std::string ControlText(const CWnd& dialog, int id);
bool ControlEnabled(const CWnd& dialog, int id);
bool ControlChecked(const CWnd& dialog, int id);
std::vector<std::string> ComboEntries(const CWnd& dialog, int id);
std::string ControlToolTip(const CWnd& dialog, int id);
std::vector<int> ControlIds(const CWnd& dialog);  // in template order

// Simulated user input: typing into a control (a combo box sends
// CBN_EDITCHANGE), picking a combo box's list entry (CBN_SELCHANGE), clicking
// a button (sends WM_COMMAND BN_CLICKED unless disabled), a system-menu
// command, the close box.
void Type(CWnd& dialog, int id, const char* text);
void Pick(CWnd& dialog, int id, int index);
void Click(CWnd& dialog, int id);
void SystemCommand(CWnd& dialog, UINT command);
void CloseBox(CWnd& dialog);

// The result the dialog ended with (EndDialog), or nothing while it has not ended.
std::optional<INT_PTR> EndResult(const CWnd& dialog);

// Minimised state and client size, for painting tests. The window is painted
// again (WM_PAINT) at the next dispatch.
void SetIconic(CWnd& window, bool iconic);
void SetClientSize(CWnd& window, int width, int height);
// What the last paint drew: the icon and where (x, y); icon null when none.
struct IconDraw {
    HICON icon;
    int x;
    int y;
};
std::vector<IconDraw> TakeIconDraws();

// Template ids of the modal dialogs (About box) run since the last call; in the
// console run a modal dialog is initialised and at once ended with IDOK.
std::vector<UINT> TakeModalDialogs();

// Timer state, for assertions.
bool TimerSet(const CWnd& window, UINT_PTR id);
UINT TimerPeriod(const CWnd& window, UINT_PTR id);

// Whether the system menu of the window holds these items (text, id); a
// separator is ("", 0).
std::vector<std::pair<std::string, UINT>> SystemMenuItems(const CWnd& window);

}  // namespace headless
