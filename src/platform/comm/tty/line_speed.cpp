#include "platform/comm/tty/line_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace comm {
namespace {

// A standard rate goes in as its own constant, which stty and older tools
// read; they see any rate set through BOTHER as 0.
tcflag_t SpeedCode(DWORD baud) {
    static constexpr struct {
        DWORD baud;
        tcflag_t code;
    } kStandard[] = {{50, B50},           {75, B75},           {110, B110},         {134, B134},
                     {150, B150},         {200, B200},         {300, B300},         {600, B600},
                     {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
                     {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
                     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
                     {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
                     {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
                     {3500000, B3500000}, {4000000, B4000000}};
    for (const auto& standard : kStandard)
        if (standard.baud == baud) return standard.code;
    return BOTHER;
}

}  // namespace

int SetLineSpeed(int fd, DWORD baud) {
    termios2 line{};
    if (ioctl(fd, TCGETS2, &line) != 0) return errno;
    const tcflag_t code = SpeedCode(baud);
    line.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= code | (code << IBSHIFT);
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
