// Painting: a paint device context belongs to one window for the length of a
// WM_PAINT handler; what is drawn on it is handed to the back-end.
#include "platform/framework/afxwin.h"
#include "platform/framework/backend.h"
#include "platform/framework/window_registry.h"

namespace {

// A paint device context is the handle of the window being painted, so
// drawing on a context whose window has gone does nothing.
HDC ContextOf(HWND window) { return reinterpret_cast<HDC>(window); }
HWND WindowOf(HDC dc) { return reinterpret_cast<HWND>(dc); }

}  // namespace

CPaintDC::CPaintDC(CWnd* window) : m_pWnd(window) {
    if (window && afx::FindWindowNode(window->m_hWnd)) m_hDC = ContextOf(window->m_hWnd);
}

CPaintDC::~CPaintDC() = default;

BOOL CDC::DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    afx::WindowNode* window = afx::FindWindowNode(WindowOf(dc));
    if (!window || !icon) return FALSE;
    afx::CurrentBackend().DrawIcon(*window, icon, x, y);
    return TRUE;
}
