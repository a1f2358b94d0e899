#include "platform/kernel/ending.h"

#include <sys/eventfd.h>

namespace kernel {

int EndingFd() {
    // Never read: once written it stays readable.
    static const int fd = eventfd(0, EFD_CLOEXEC);
    return fd;
}

void EndWaits() {
    if (EndingFd() >= 0) eventfd_write(EndingFd(), 1);
}

}  // namespace kernel
