// The output speed a device is set to, or -1 when it cannot be read. Apart
// from the pty helpers: its file reads termios2, which cannot share a file
// with <termios.h>.
#pragma once

#include <string>

namespace transfertest {

long DeviceSpeed(const std::string& path);

}  // namespace transfertest
