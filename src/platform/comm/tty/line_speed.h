// Any baud rate, through termios2 (BOTHER for those without a constant), and the whole line as the kernel
// holds it. Kept apart because <asm/termbits.h> cannot share a translation
// unit with <termios.h>.
#pragma once

#include "platform/win32.h"

namespace comm {

// Both return 0 or an errno value.
int SetLineSpeed(int fd, DWORD baud);
int GetLineSpeed(int fd, DWORD& baud);

// The kernel's termios2, speed included, kept as bytes so that this header
// needs neither termios header.
struct SavedLine {
    alignas(8) unsigned char bytes[64];
    bool valid = false;
};

SavedLine SaveLine(int fd);
// Returns 0 or an errno value.
int RestoreLine(int fd, const SavedLine& saved);

}  // namespace comm
