#include "platform/comm/tty/pty_instance.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include "platform/comm/tty/driver_traits.h"

namespace comm {

// The pty's own node cannot tell two instances apart: devpts gives it the
// inode number + 3, and a change time from a coarse clock (a few ms a tick)
// that a chmod or chown moves (mesg, a login). The link can: the program that
// makes a pty for a name (socat's link=) makes the link with it, and a link
// cannot be re-pointed in place, only made anew, with another inode and change
// time. A link left behind by a program that ended keeps its identity while
// the kernel gives its pty's number to the next terminal opened.
int PtyInstance(const std::string& path, bool& isPty, std::string& instance) {
    isPty = false;
    instance.clear();
    struct stat name {}, device {};
    if (lstat(path.c_str(), &name) != 0 || stat(path.c_str(), &device) != 0) return errno;
    isPty = S_ISCHR(device.st_mode) && IsPtySlave(major(device.st_rdev));
    if (isPty && S_ISLNK(name.st_mode)) {
        instance = "link " + std::to_string(name.st_dev) + ":" + std::to_string(name.st_ino) + " made " +
                   std::to_string(name.st_ctim.tv_sec) + "." + std::to_string(name.st_ctim.tv_nsec);
    }
    return 0;
}

}  // namespace comm
