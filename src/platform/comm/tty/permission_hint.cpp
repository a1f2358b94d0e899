#include "platform/comm/tty/permission_hint.h"

#include <grp.h>
#include <sys/stat.h>

#include <vector>

#include "platform/kernel/visible_text.h"

namespace comm {

std::string PermissionHint(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || info.st_gid == 0) return "";
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return "";
    std::vector<char> buffer(16384);
    struct group entry {};
    struct group* found = nullptr;
    if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return "";
    const std::string name = kernel::VisibleText(found->gr_name);
    // A new group reaches a user's processes only at their next login.
    return "the device belongs to group " + name + ": sudo usermod -aG " + name + " $USER, then log in again";
}

}  // namespace comm
