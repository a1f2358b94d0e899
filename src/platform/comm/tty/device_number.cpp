#include "platform/comm/tty/device_number.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace comm {
namespace {

std::string NumberText(int statResult, const struct stat& info) {
    if (statResult != 0 || !S_ISCHR(info.st_mode)) return {};
    return std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
}

}  // namespace

std::string DeviceNumberOf(int fd) {
    struct stat info {};
    return NumberText(fstat(fd, &info), info);
}

std::string DeviceNumberOf(const std::string& path) {
    struct stat info {};
    return NumberText(stat(path.c_str(), &info), info);
}

}  // namespace comm
