// The one translation of Linux errno values into Win32 error codes, and their words.
#pragma once

#include <string>

#include "platform/win32.h"

namespace comm {

DWORD Win32FromErrno(int error);
std::string ErrnoText(int error);  // "No such file or directory"

}  // namespace comm
