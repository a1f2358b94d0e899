// A text handed to a caller's buffer, NUL included, as the Win32 calls that
// return names do.
#pragma once

#include <cstring>
#include <string>

#include "platform/win32.h"

namespace comm {

// False, with nothing written, when the buffer cannot hold the text and its NUL.
inline bool CopyText(const std::string& text, LPSTR out, DWORD size) {
    if (text.size() + 1 > size) return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace comm
