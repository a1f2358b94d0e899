#include "platform/framework/afxwin.h"
#include "platform/framework/backend.h"
#include "platform/framework/default_window_proc.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/timer_table.h"
#include "platform/framework/window_registry.h"

using afx::FindWindowNode;
using afx::WindowNode;

CWnd::~CWnd() {
    WindowNode* node = FindWindowNode(m_hWnd);
    if (node && node->object == this) afx::DestroyWindowNode(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND window) {
    WindowNode* node = FindWindowNode(window);
    return node ? node->object : nullptr;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (DispatchThroughMap(message, wParam, lParam, result)) return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    WindowNode* node = FindWindowNode(m_hWnd);
    return node ? afx::DefaultWindowProcedure(*node, message, wParam, lParam) : 0;
}

LRESULT CWnd::Default() {
    const afx::CurrentMessage& m = afx::MessageBeingHandled();
    return DefWindowProc(m.message, m.wParam, m.lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::SetDlgItemText(int id, const char* text) {
    if (CWnd* control = GetDlgItem(id)) control->SetWindowText(text);
}

int CWnd::GetDlgItemText(int id, CString& text) const {
    CWnd* control = GetDlgItem(id);
    if (!control) {
        text.Empty();
        return 0;
    }
    control->GetWindowText(text);
    return text.GetLength();
}

CWnd* CWnd::GetDlgItem(int id) const {
    WindowNode* node = FindWindowNode(m_hWnd);
    WindowNode* control = node ? afx::FindControl(*node, id) : nullptr;
    return control ? control->object : nullptr;
}

BOOL CWnd::EnableWindow(BOOL enable) {
    WindowNode* node = FindWindowNode(m_hWnd);
    if (!node) return FALSE;
    BOOL wasDisabled = !node->enabled;
    node->enabled = enable != FALSE;
    afx::NotifyChanged(*node);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    WindowNode* node = FindWindowNode(m_hWnd);
    return node && node->enabled;
}

void CWnd::SetWindowText(const char* text) { SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }

void CWnd::SetToolTipText(const char* text) {
    WindowNode* node = FindWindowNode(m_hWnd);
    if (!node) return;
    node->toolTip = text ? text : "";
    afx::NotifyChanged(*node);
}

void CWnd::GetWindowText(CString& text) const {
    WindowNode* node = FindWindowNode(m_hWnd);
    text = node ? node->text.c_str() : "";
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
    return afx::CurrentBackend().ShowMessageBox(m_hWnd, text ? text : "", caption ? caption : AfxGetAppName(), type);
}

UINT_PTR CWnd::SetTimer(UINT_PTR idEvent, UINT elapse, void (*timerProc)(HWND, UINT, UINT_PTR, DWORD)) {
    if (!FindWindowNode(m_hWnd)) return 0;
    afx::SetWindowTimer(m_hWnd, idEvent, elapse, timerProc, afx::CurrentBackend().Now());
    return idEvent != 0 ? idEvent : 1;  // success is any nonzero value
}

BOOL CWnd::KillTimer(UINT_PTR idEvent) { return afx::KillWindowTimer(m_hWnd, idEvent); }

CMenu* CWnd::GetSystemMenu(BOOL revert) const {
    WindowNode* node = FindWindowNode(m_hWnd);
    if (!node || !node->dialogTemplate || !(node->dialogTemplate->style & DS_SYSMENU)) return nullptr;
    if (revert) {
        afx::DiscardSystemMenu(*node);
        return nullptr;
    }
    if (!node->systemMenu) afx::CreateSystemMenu(*node);
    return &afx::FindMenu(node->systemMenu)->object;
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

BOOL CWnd::IsIconic() const {
    WindowNode* node = FindWindowNode(m_hWnd);
    return node && node->iconic;
}

void CWnd::GetClientRect(LPRECT rect) const {
    WindowNode* node = FindWindowNode(m_hWnd);
    *rect = RECT{0, 0, node ? node->clientWidth : 0, node ? node->clientHeight : 0};
}

void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnPaint() { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
void CWnd::OnClose() { Default(); }
void CWnd::OnTimer(UINT) { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) { return static_cast<BOOL>(Default()); }
