#include "platform/framework/default_window_proc.h"

#include <algorithm>
#include <cstring>

#include "platform/framework/backend.h"
#include "platform/framework/message_loop.h"

namespace afx {
namespace {

LRESULT CopyText(const std::string& text, WPARAM capacity, LPARAM buffer) {
    if (capacity == 0 || buffer == 0) return 0;
    size_t count = std::min<size_t>(text.size(), capacity - 1);
    char* out = reinterpret_cast<char*>(buffer);
    std::memcpy(out, text.data(), count);
    out[count] = '\0';
    return static_cast<LRESULT>(count);
}

LRESULT SetIcon(WindowNode& window, WPARAM which, LPARAM icon) {
    HICON& slot = which == ICON_BIG ? window.bigIcon : window.smallIcon;
    HICON previous = slot;
    slot = reinterpret_cast<HICON>(icon);
    NotifyChanged(window);
    return reinterpret_cast<LRESULT>(previous);
}

void SystemCommand(WindowNode& window, WPARAM command) {
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        DispatchToWindow(window.hwnd, WM_CLOSE, 0, 0);
        break;
    case SC_MINIMIZE:
        SetIconic(window, true);
        break;
    case SC_RESTORE:
        SetIconic(window, false);
        break;
    default:
        break;
    }
}

}  // namespace

// As Windows enables the system menu when it opens: Restore only for a
// minimised window, Minimize only for one that is not.
bool SystemCommandEnabled(const WindowNode& window, UINT command) {
    switch (command & 0xFFF0) {
    case SC_RESTORE:
        return window.iconic;
    case SC_MINIMIZE:
        return !window.iconic;
    default:
        return true;
    }
}

void NotifyChanged(WindowNode& window) {
    if (window.kind == WindowKind::Control)
        CurrentBackend().ControlChanged(window);
    else
        CurrentBackend().WindowStateChanged(window);
}

void SetWindowTextOf(WindowNode& window, const char* text) {
    window.text = text ? text : "";
    NotifyChanged(window);
}

void SetIconic(WindowNode& window, bool iconic) {
    if (window.iconic == iconic) return;
    window.iconic = iconic;
    NotifyChanged(window);
    CurrentBackend().Invalidate(window);
}

LRESULT DefaultWindowProcedure(WindowNode& window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT:
        SetWindowTextOf(window, reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return CopyText(window.text, wParam, lParam);
    case WM_SETICON:
        return SetIcon(window, wParam, lParam);
    case WM_SYSCOMMAND:
        SystemCommand(window, wParam);
        return 0;
    case BM_GETCHECK:
        return window.checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        if (window.kind == WindowKind::Control && window.controlKind == ControlKind::CheckBox) {
            window.checked = wParam == BST_CHECKED;
            NotifyChanged(window);
        }
        return 0;
    case CB_ADDSTRING:
        if (window.kind != WindowKind::Control || !IsComboKind(window.controlKind)) return -1;
        window.list.emplace_back(lParam ? reinterpret_cast<const char*>(lParam) : "");
        NotifyChanged(window);
        return static_cast<LRESULT>(window.list.size() - 1);
    case CB_RESETCONTENT:
        // As on Windows, the edit field is emptied with the list.
        if (window.kind != WindowKind::Control || !IsComboKind(window.controlKind)) return 0;
        window.list.clear();
        window.text.clear();
        NotifyChanged(window);
        return 0;
    default:
        // WM_PAINT, WM_TIMER, WM_ICONERASEBKGND, WM_CONTEXTMENU and the rest: nothing to do.
        return 0;
    }
}

}  // namespace afx
