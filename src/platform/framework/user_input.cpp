#include "platform/framework/user_input.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "platform/framework/default_window_proc.h"
#include "platform/framework/message_loop.h"

namespace afx {
namespace {

// The user-interface thread's own: what stops the work it waits for, set only
// while it waits; the actions kept meanwhile; and how many of them ask to
// stop: until those are handled, every later wait ends at once too.
struct KeptAction {
    std::function<void()> act;
    bool stops;
};
const std::function<void()>* g_stopWait = nullptr;
std::deque<KeptAction> g_kept;
int g_stopsKept = 0;

// During a wait, keeps the action on the window for after it, and asks the
// work to stop first when the action is a request to stop; true when kept.
bool KeptForLater(HWND window, std::function<void(WindowNode&)> action, bool stops = false) {
    if (!g_stopWait) return false;
    if (stops) {
        (*g_stopWait)();
        ++g_stopsKept;
    }
    g_kept.push_back({[window, action = std::move(action)] {
                          if (WindowNode* node = FindWindowNode(window)) action(*node);
                      },
                      stops});
    return true;
}

bool StopsWaits(const WindowNode& control) {
    return control.controlTemplate && (control.controlTemplate->style & CTL_STOPSWAITS) != 0;
}

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
    if (KeptForLater(control.hwnd, [](WindowNode& node) { UserClicked(node); }, StopsWaits(control))) return;
    if (control.controlKind == ControlKind::CheckBox)
        DispatchToWindow(control.hwnd, BM_SETCHECK, control.checked ? BST_UNCHECKED : BST_CHECKED, 0);
    NotifyParent(control, BN_CLICKED);
}

void UserTyped(WindowNode& control, const char* text) {
    if (!control.enabled) return;
    if (KeptForLater(control.hwnd, [typed = std::string(text)](WindowNode& node) { UserTyped(node, typed.c_str()); }))
        return;
    SetWindowTextOf(control, text);
    if (IsCombo(control)) NotifyParent(control, CBN_EDITCHANGE);
}

void UserPicked(WindowNode& control, int index) {
    if (!control.enabled || !IsCombo(control) || index < 0 || index >= static_cast<int>(control.list.size())) return;
    // The entry, not its place: the list may be filled again before the pick is handled.
    auto picked = [entry = control.list[static_cast<size_t>(index)]](WindowNode& node) {
        const auto found = std::find(node.list.begin(), node.list.end(), entry);
        if (found != node.list.end()) UserPicked(node, static_cast<int>(found - node.list.begin()));
    };
    if (KeptForLater(control.hwnd, picked)) return;
    SetWindowTextOf(control, control.list[static_cast<size_t>(index)].c_str());
    NotifyParent(control, CBN_SELCHANGE);
}

void UserOpeningList(WindowNode& control) {
    if (KeptForLater(control.hwnd, [](WindowNode& node) { UserOpeningList(node); })) return;
    if (control.enabled && IsCombo(control)) NotifyParent(control, CBN_DROPDOWN);
}

void UserSystemCommand(WindowNode& window, UINT command) {
    if (KeptForLater(window.hwnd, [command](WindowNode& node) { UserSystemCommand(node, command); }, command == SC_CLOSE))
        return;
    DispatchToWindow(window.hwnd, WM_SYSCOMMAND, command, 0);
}

void UserCloseBox(WindowNode& window) { UserSystemCommand(window, SC_CLOSE); }

void UserEscape(WindowNode& window) {
    if (KeptForLater(window.hwnd, [](WindowNode& node) { UserEscape(node); }, true)) return;
    DispatchToWindow(window.hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void UserContextMenu(WindowNode& window, int screenX, int screenY) {
    if (KeptForLater(window.hwnd, [=](WindowNode& node) { UserContextMenu(node, screenX, screenY); })) return;
    DispatchToWindow(window.hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window.hwnd),
                     MAKELPARAM(static_cast<WORD>(screenX), static_cast<WORD>(screenY)));
}

InputDuringWait::InputDuringWait(const std::function<void()>& stop) : m_outerStop(std::exchange(g_stopWait, &stop)) {
    if (g_stopsKept > 0) stop();
}

InputDuringWait::~InputDuringWait() { g_stopWait = m_outerStop; }

bool HandleKeptInput() {
    // Only from the outermost loop: not inside a message box or dialog that
    // the handler which waited has opened since.
    if (g_stopWait || g_kept.empty() || MessageBeingHandled().message != WM_NULL) return false;
    const KeptAction kept = std::move(g_kept.front());
    g_kept.pop_front();
    if (kept.stops) --g_stopsKept;
    kept.act();
    return true;
}

}  // namespace afx
