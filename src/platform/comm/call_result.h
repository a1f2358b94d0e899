// How a comm call that does not succeed now returns, as Win32 calls do.
#pragma once

#include "platform/win32.h"

namespace comm {

// FALSE with the last error.
inline BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// An overlapped operation that has started: it ends through its OVERLAPPED.
inline BOOL Pending() { return Fail(ERROR_IO_PENDING); }

}  // namespace comm
