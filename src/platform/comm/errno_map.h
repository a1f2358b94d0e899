// The one translation of Linux errno values into Win32 error codes.
#pragma once

#include "platform/win32.h"

namespace comm {

DWORD Win32FromErrno(int error);

}  // namespace comm
