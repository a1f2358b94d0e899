#include "platform/comm/line_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace comm {

int SetLineSpeed(int fd, DWORD baud) {
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0) return errno;
    line.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    line.c_ispeed = baud;
    line.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &line) == 0 ? 0 : errno;
}

int GetLineSpeed(int fd, DWORD& baud) {
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0) return errno;
    baud = line.c_ospeed;
    return 0;
}

}  // namespace comm
