// The default processing of a window's messages (what DefWindowProc does for a
// dialog and for the standard controls), on the framework's record of it.
#pragma once

#include "platform/framework/window_registry.h"

namespace afx {

LRESULT DefaultWindowProcedure(WindowNode& window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether a system-menu command applies to the window in its present state.
bool SystemCommandEnabled(const WindowNode& window, UINT command);

// Lets the back-end mirror a change to the window's record.
void NotifyChanged(WindowNode& window);

// Sets a control's state and lets the back-end mirror it.
void SetWindowTextOf(WindowNode& window, const char* text);
void SetIconic(WindowNode& window, bool iconic);

}  // namespace afx
