// A character device's number as text ("188:0"), by which its closes that run
// in the background are known: the same whichever path led to it.
#pragma once

#include <string>

namespace comm {

// Empty where there is no character device.
std::string DeviceNumberOf(int fd);
std::string DeviceNumberOf(const std::string& path);

}  // namespace comm
