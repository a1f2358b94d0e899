#include "platform/comm/line_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

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

static_assert(sizeof(termios2) <= sizeof(SavedLine::bytes));

SavedLine SaveLine(int fd) {
    SavedLine saved{};
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0) return saved;
    std::memcpy(saved.bytes, &line, sizeof line);
    saved.valid = true;
    return saved;
}

int RestoreLine(int fd, const SavedLine& saved) {
    if (!saved.valid) return EINVAL;
    termios2 line;
    std::memcpy(&line, saved.bytes, sizeof line);
    return ioctl(fd, TCSETS2, &line) == 0 ? 0 : errno;
}

}  // namespace comm
