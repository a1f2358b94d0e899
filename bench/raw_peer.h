// The peer side of a benchmark's pseudo-terminal, opened raw as a peer program
// uses the line: no output processing on the way.
#pragma once

#include <fcntl.h>
#include <termios.h>

#include "../tests/support/pty.h"

inline int OpenRawPeer(const testsupport::Pty& pty) {
    int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}
