// A count the kernel gives through an ioctl (bytes queued in a tty or a
// socket); 0 when it gives none.
#pragma once

#include <sys/ioctl.h>

#include "platform/win32.h"

namespace comm {

inline DWORD IoctlCount(int fd, unsigned long request) {
    int count = 0;
    if (ioctl(fd, request, &count) != 0 || count < 0) return 0;
    return static_cast<DWORD>(count);
}

}  // namespace comm
