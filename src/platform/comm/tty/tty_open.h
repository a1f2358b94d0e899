// Opening a tty for a device: exclusive, raw, with the line to put back at
// the close.
#pragma once

#include <memory>
#include <string>

#include "platform/comm/tty/tty_line.h"

namespace comm {

// The tty at path, opened; nothing, with the Win32 error and the reason in
// words, when it cannot be.
std::unique_ptr<TtyLine> OpenTty(const std::string& path, DWORD& error, std::string& reason);

}  // namespace comm
