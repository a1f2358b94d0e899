// Any baud rate, through termios2 and BOTHER. Kept apart because
// <asm/termbits.h> cannot share a translation unit with <termios.h>.
#pragma once

#include "platform/win32.h"

namespace comm {

// Both return 0 or an errno value.
int SetLineSpeed(int fd, DWORD baud);
int GetLineSpeed(int fd, DWORD& baud);

}  // namespace comm
