#include "platform/framework/user_input.h"

#include "platform/framework/default_window_proc.h"
#include "platform/framework/message_loop.h"

namespace afx {
namespace {

void NotifyParent(WindowNode& control, UINT code) {
    DispatchToWindow(control.parent->hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.id), code),
                     reinterpret_cast<LPARAM>(control.hwnd));
}

bool IsCombo(const WindowNode& control) {
    return control.parent && IsComboKind(control.controlKind);
}

}  // namespace

void UserClicked(WindowNode& control) {
    if (!control.enabled || !control.parent || !control.parent->enabled) return;
    if (control.controlKind == ControlKind::CheckBox)
        DispatchToWindow(control.hwnd, BM_SETCHECK, control.checked ? BST_UNCHECKED : BST_CHECKED, 0);
    NotifyParent(control, BN_CLICKED);
}

void UserTyped(WindowNode& control, const char* text) {
    if (!control.enabled) return;
    SetWindowTextOf(control, text);
    if (IsCombo(control)) NotifyParent(control, CBN_EDITCHANGE);
}

void UserPicked(WindowNode& control, int index) {
    if (!control.enabled || !IsCombo(control) || index < 0 || index >= static_cast<int>(control.list.size())) return;
    SetWindowTextOf(control, control.list[static_cast<size_t>(index)].c_str());
    NotifyParent(control, CBN_SELCHANGE);
}

void UserOpeningList(WindowNode& control) {
    if (control.enabled && IsCombo(control)) NotifyParent(control, CBN_DROPDOWN);
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
