#include "platform/framework/user_input.h"

#include "platform/framework/default_window_proc.h"
#include "platform/framework/message_loop.h"

namespace afx {

void UserClicked(WindowNode& control) {
    if (!control.enabled || !control.parent || !control.parent->enabled) return;
    if (control.controlKind == ControlKind::CheckBox)
        DispatchToWindow(control.hwnd, BM_SETCHECK, control.checked ? BST_UNCHECKED : BST_CHECKED, 0);
    DispatchToWindow(control.parent->hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.id), BN_CLICKED),
                     reinterpret_cast<LPARAM>(control.hwnd));
}

void UserTyped(WindowNode& control, const char* text) {
    if (!control.enabled) return;
    SetWindowTextOf(control, text);
}

void UserSystemCommand(WindowNode& window, UINT command) {
    DispatchToWindow(window.hwnd, WM_SYSCOMMAND, command, 0);
}

void UserCloseBox(WindowNode& window) { UserSystemCommand(window, SC_CLOSE); }

void UserEscape(WindowNode& window) {
    DispatchToWindow(window.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void UserContextMenu(WindowNode& window, int screenX, int screenY) {
    DispatchToWindow(window.hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window.hwnd),
                     MAKELPARAM(static_cast<WORD>(screenX), static_cast<WORD>(screenY)));
}

}  // namespace afx
