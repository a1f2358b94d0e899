// The line a device had when this process opened it, kept for the device
// while it is away after a hang-up. The dead descriptor could not be given it
// back, and the device may return with the raw line this process left on it
// (a tty driver hands a minor's last termios to the next device on it): the
// next open of the same device at the same path puts back this line, not that.
#pragma once

#include <optional>
#include <string>

#include "platform/comm/tty/line_speed.h"

namespace comm {

// path as opened, key the device's identity.
void KeepLine(const std::string& path, const std::string& key, const SavedLine& line);
std::optional<SavedLine> KeptLine(const std::string& path, const std::string& key);
// Once the line was put back.
void ForgetLine(const std::string& path, const std::string& key);

}  // namespace comm
