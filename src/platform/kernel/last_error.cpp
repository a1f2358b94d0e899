// The calling thread's last Win32 error code, and the words its failing call
// gave with it.
#include <string>

#include "platform/win32.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
thread_local std::string t_lastErrorText;
}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD code) {
    t_lastError = code;
    t_lastErrorText.clear();
}

void SetLastErrorText(DWORD code, LPCSTR text) {
    t_lastError = code;
    t_lastErrorText = text ? text : "";
}

LPCSTR GetLastErrorText() { return t_lastErrorText.c_str(); }
