// The speed a device is set to, read with termios2 so that any rate (BOTHER)
// reads back as a number. <asm/termbits.h> cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "device_speed.h"

namespace transfertest {

long DeviceSpeed(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct termios2 tio {};
    int result = ioctl(fd, TCGETS2, &tio);
    close(fd);
    return result == 0 ? static_cast<long>(tio.c_ospeed) : -1;
}

}  // namespace transfertest
