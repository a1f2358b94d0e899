// Building a dialog's window and controls from its template.
#pragma once

#include "platform/framework/window_registry.h"

namespace afx {

// Creates the window and its controls from the dialog's template, lets the
// back-end mirror them and runs OnInitDialog; null when there is no template.
WindowNode* CreateDialogWindow(CDialog& dialog, UINT templateId);

}  // namespace afx
