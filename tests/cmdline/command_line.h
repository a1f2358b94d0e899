// Sets the exact text GetCommandLineA returns, including what a real argument
// list cannot produce (runs of spaces, white space at the ends). The framework
// keeps the text in a writable buffer: it is sized through AfxSetCommandLine
// with a placeholder of the same length (an empty one comes back quoted, so
// longer), then overwritten.
#pragma once

#include <cstring>
#include <string>

#include "platform/framework/afxwin.h"

namespace testsupport {

inline void SetCommandLine(const std::string& text) {
    const std::string placeholder(std::strlen(text.c_str()), 'x');
    const char* const argv[] = {placeholder.c_str()};
    AfxSetCommandLine(1, argv);
    std::memcpy(GetCommandLineA(), text.c_str(), placeholder.size() + 1);  // up to the first NUL
}

}  // namespace testsupport
