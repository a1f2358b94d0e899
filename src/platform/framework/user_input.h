// What a user does to a window, turned into the messages Windows would send.
// Both back-ends report user input through these.
#pragma once

#include "platform/framework/window_registry.h"

namespace afx {

// A click on a button or check box: an automatic check box toggles, then the
// dialog receives WM_COMMAND BN_CLICKED. Ignored while the control is disabled.
void UserClicked(WindowNode& control);
// Text typed into an edit field or a combo box's edit field.
void UserTyped(WindowNode& control, const char* text);
void UserSystemCommand(WindowNode& window, UINT command);
void UserCloseBox(WindowNode& window);  // WM_SYSCOMMAND SC_CLOSE
void UserEscape(WindowNode& window);    // the Cancel command
void UserContextMenu(WindowNode& window, int screenX, int screenY);

}  // namespace afx
