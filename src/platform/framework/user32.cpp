// The window functions of the Win32 user interface that the program calls
// directly, on the framework's records.
#include "platform/framework/afxwin.h"
#include "platform/framework/backend.h"
#include "platform/framework/message_loop.h"
#include "platform/framework/message_queue.h"

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!afx::PostToQueue({window, message, wParam, lParam})) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return afx::DispatchToWindow(window, message, wParam, lParam);
}

BOOL IsWindow(HWND window) { return afx::IsWindowLive(window); }

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    default:
        return 0;
    }
}
