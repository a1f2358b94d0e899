#include "platform/comm/tty/tty_open.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/comm/errno_map.h"
#include "platform/comm/tty/device_identity.h"
#include "platform/comm/tty/kept_lines.h"
#include "platform/comm/tty/permission_hint.h"

namespace comm {
namespace {

// Why the open failed, with what to do about a permission the user lacks.
std::string OpenFailureText(int error, const std::string& path) {
    std::string text = ErrnoText(error);
    if (error != EACCES) return text;
    const std::string hint = PermissionHint(path);
    return hint.empty() ? text : text + "; " + hint;
}

// An open descriptor or -errno. Exclusive as share mode 0 is: flock keeps out
// every other opener (TIOCEXCL alone lets root in), TIOCEXCL also keeps out
// programs that do not take the lock. original receives the line as it was:
// as this process first found it, if the device hung up since.
int OpenExclusive(const std::string& path, DeviceIdentity& identity, SavedLine& original) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -errno;
    int error = 0;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) error = errno == EWOULDBLOCK ? EBUSY : errno;  // busy: another opener holds it
    else if (ioctl(fd, TIOCEXCL) != 0) error = errno;
    else if ((error = IdentityOfDescriptor(fd, identity)) == 0) {
        const SavedLine found = SaveLine(fd);
        error = found.valid ? MakeRaw(fd) : errno;
        if (error == 0) {
            original = KeptLine(path, identity.key).value_or(found);
            return fd;
        }
        RestoreLine(fd, found);
    }
    close(fd);  // also drops the lock
    return -error;
}

}  // namespace

std::unique_ptr<TtyLine> OpenTty(const std::string& path, DWORD& error, std::string& reason) {
    DeviceIdentity identity;
    SavedLine original;
    int fd = OpenExclusive(path, identity, original);
    if (fd < 0) {
        error = Win32FromErrno(-fd);
        reason = OpenFailureText(-fd, path);
        return nullptr;
    }
    return std::make_unique<TtyLine>(fd, path, identity.key, original);
}

}  // namespace comm
