// What a user can do about a device they may not open.
#pragma once

#include <string>

namespace comm {

// "the device belongs to group dialout: sudo usermod -aG dialout $USER, then
// log in again" when the device's group may read and write it and is not
// root's; else empty (joining a group would not help).
std::string PermissionHint(const std::string& path);

}  // namespace comm
