// The headless back-end's interface for tests: creating windows without a
// modal loop, moving the manual clock, scripting input and reading the records.
#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/framework/default_window_proc.h"
#include "platform/framework/dialog_window.h"
#include "platform/framework/headless/headless_backend.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/timer_table.h"
#include "platform/framework/user_input.h"
#include "platform/framework/window_access.h"

namespace headless {
namespace {

HeadlessBackend& Backend() { return HeadlessBackend::Instance(); }

afx::WindowNode* Node(const CWnd& window) { return afx::FindWindowNode(window.m_hWnd); }

afx::WindowNode* Control(const CWnd& dialog, int id) {
    afx::WindowNode* node = Node(dialog);
    return node ? afx::FindControl(*node, id) : nullptr;
}

}  // namespace

void Use(bool manualClock) { Backend().Reset(manualClock, false); }

BOOL Create(CDialog& dialog) {
    if (afx::FindWindowNode(dialog.m_hWnd)) return FALSE;
    return afx::CreateDialogWindow(dialog, AfxWindowAccess::TemplateOf(dialog)) != nullptr;
}

void Destroy(CWnd& window) { afx::DestroyWindowNode(window.m_hWnd); }

BOOL CreateMessageWindow(CWnd& window) {
    if (afx::FindWindowNode(window.m_hWnd)) return FALSE;
    afx::CreateWindowNode(afx::WindowKind::Message, &window, nullptr);
    return TRUE;
}

int RunUntilIdle() { return afx::DispatchAllPending(); }

void Advance(DWORD milliseconds) {
    std::uint64_t target = Backend().Now() + milliseconds;
    RunUntilIdle();
    for (std::optional<std::uint64_t> due = afx::NextTimerDue(); due && *due <= target; due = afx::NextTimerDue()) {
        Backend().AdvanceManualClock(*due);
        RunUntilIdle();
    }
    Backend().AdvanceManualClock(target);
    RunUntilIdle();
}

DWORD Now() { return static_cast<DWORD>(Backend().Now()); }

bool DispatchUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (!condition()) {
        if (afx::DispatchOne()) continue;
        if (std::chrono::steady_clock::now() >= end) return false;
        // On the real clock the next timer may come before the end.
        std::chrono::steady_clock::time_point wakeAt = end;
        std::optional<std::uint64_t> due = afx::NextTimerDue();
        if (due && !Backend().ManualClock()) {
            auto dueAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(*due - std::min(*due, Backend().Now()));
            wakeAt = std::min(wakeAt, dueAt);
        }
        Backend().WaitReal(wakeAt);
    }
    return true;
}

void ScriptSaveFileName(const char* pathOrNullForCancel) {
    if (pathOrNullForCancel)
        Backend().scriptedSaveNames.emplace_back(pathOrNullForCancel);
    else
        Backend().scriptedSaveNames.emplace_back(std::nullopt);
}

OPENFILENAME LastSaveFileRequest() { return Backend().lastSaveRequest; }

void HoldMessageBoxes(DWORD milliseconds) { Backend().messageBoxHold = milliseconds; }

std::vector<MessageBoxRecord> TakeMessageBoxes() { return std::exchange(Backend().messageBoxes, {}); }

std::vector<std::string> TakeJobFaults() { return std::exchange(Backend().jobFaults, {}); }

std::vector<std::string> TakeJobNotices() { return std::exchange(Backend().jobNotices, {}); }

std::string ProgressLine() { return Backend().progressLine; }

int ProgressRedraws() { return Backend().progressRedraws; }

std::vector<std::string> TakeJobSummaries() { return std::exchange(Backend().jobSummaries, {}); }

std::string ControlText(const CWnd& dialog, int id) {
    afx::WindowNode* control = Control(dialog, id);
    return control ? control->text : std::string();
}

bool ControlEnabled(const CWnd& dialog, int id) {
    afx::WindowNode* control = Control(dialog, id);
    return control && control->enabled;
}

bool ControlChecked(const CWnd& dialog, int id) {
    afx::WindowNode* control = Control(dialog, id);
    return control && control->checked;
}

std::vector<std::string> ComboEntries(const CWnd& dialog, int id) {
    afx::WindowNode* control = Control(dialog, id);
    return control ? control->list : std::vector<std::string>();
}

std::string ControlToolTip(const CWnd& dialog, int id) {
    afx::WindowNode* control = Control(dialog, id);
    return control ? control->toolTip : std::string();
}

std::vector<int> ControlIds(const CWnd& dialog) {
    std::vector<int> ids;
    if (afx::WindowNode* node = Node(dialog))
        for (const afx::WindowNode* control : node->children) ids.push_back(control->id);
    return ids;
}

void Type(CWnd& dialog, int id, const char* text) {
    if (afx::WindowNode* control = Control(dialog, id)) afx::UserTyped(*control, text);
}

void Pick(CWnd& dialog, int id, int index) {
    if (afx::WindowNode* control = Control(dialog, id)) afx::UserPicked(*control, index);
}

void Click(CWnd& dialog, int id) {
    if (afx::WindowNode* control = Control(dialog, id)) afx::UserClicked(*control);
}

void SystemCommand(CWnd& dialog, UINT command) {
    if (afx::WindowNode* node = Node(dialog)) afx::UserSystemCommand(*node, command);
}

void CloseBox(CWnd& dialog) {
    if (afx::WindowNode* node = Node(dialog)) afx::UserCloseBox(*node);
}

std::optional<INT_PTR> EndResult(const CWnd& dialog) {
    afx::WindowNode* node = Node(dialog);
    if (!node || !node->modalEnded) return std::nullopt;
    return node->modalResult;
}

void SetIconic(CWnd& window, bool iconic) {
    if (afx::WindowNode* node = Node(window)) afx::SetIconic(*node, iconic);
}

void SetClientSize(CWnd& window, int width, int height) {
    afx::WindowNode* node = Node(window);
    if (!node) return;
    node->clientWidth = width;
    node->clientHeight = height;
    Backend().Invalidate(*node);
}

std::vector<IconDraw> TakeIconDraws() { return std::exchange(Backend().iconDraws, {}); }

std::vector<UINT> TakeModalDialogs() { return std::exchange(Backend().modalDialogs, {}); }

bool TimerSet(const CWnd& window, UINT_PTR id) { return afx::WindowTimerSet(window.m_hWnd, id); }

UINT TimerPeriod(const CWnd& window, UINT_PTR id) { return afx::WindowTimerPeriod(window.m_hWnd, id); }

std::vector<std::pair<std::string, UINT>> SystemMenuItems(const CWnd& window) {
    std::vector<std::pair<std::string, UINT>> items;
    CMenu* menu = window.GetSystemMenu(FALSE);
    afx::MenuRecord* record = menu ? afx::FindMenu(menu->m_hMenu) : nullptr;
    if (record)
        for (const afx::MenuItem& item : record->items) items.emplace_back(item.text, static_cast<UINT>(item.id));
    return items;
}

}  // namespace headless
