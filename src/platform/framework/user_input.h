// What a user does to a window, turned into the messages Windows would send.
// Both back-ends report user input through these.
#pragma once

#include <functional>

#include "platform/framework/window_registry.h"

namespace afx {

// A click on a button or check box: an automatic check box toggles, then the
// dialog receives WM_COMMAND BN_CLICKED. Ignored while the control is disabled.
void UserClicked(WindowNode& control);
// Text typed into an edit field or a combo box's edit field; a combo box
// then notifies the dialog with CBN_EDITCHANGE.
void UserTyped(WindowNode& control, const char* text);
// A combo box's list entry picked: the entry goes into the edit field, then
// the dialog receives CBN_SELCHANGE. (Windows fills the field only after the
// notification; here the handler already reads the picked text, since the
// program reads combo boxes only through their text.)
void UserPicked(WindowNode& control, int index);
// A combo box's list is about to open: the dialog receives CBN_DROPDOWN and
// may fill the list before it is shown.
void UserOpeningList(WindowNode& control);
void UserSystemCommand(WindowNode& window, UINT command);
void UserCloseBox(WindowNode& window);  // WM_SYSCOMMAND SC_CLOSE
void UserEscape(WindowNode& window);    // the Cancel command
void UserContextMenu(WindowNode& window, int screenX, int screenY);

// While the user-interface thread waits for work run aside (a port server
// that does not answer), each of the actions above is kept and handled once
// the wait is over, in order, so that no handler runs inside the call that
// waits. Asking to stop (a click on a button marked CTL_STOPSWAITS, the close
// box, Escape) also calls stop, which ends the work's waits.
class InputDuringWait {
public:
    explicit InputDuringWait(const std::function<void()>& stop);
    ~InputDuringWait();
    InputDuringWait(const InputDuringWait&) = delete;
    InputDuringWait& operator=(const InputDuringWait&) = delete;

private:
    const std::function<void()>* m_outerStop;
};
// Handles the first action kept during a wait that is over; false when none,
// and inside any handler (a message box it opened): kept input waits for the
// outermost loop.
bool HandleKeptInput();

}  // namespace afx
