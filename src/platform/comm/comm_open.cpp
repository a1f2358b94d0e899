// CreateFileA for serial devices: name mapping, exclusive open, raw line; or
// a port server's line across the network.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/comm/comm_device.h"
#include "platform/comm/device_name.h"
#include "platform/comm/errno_map.h"
#include "platform/comm/net/network_line.h"
#include "platform/comm/tty/device_identity.h"
#include "platform/comm/tty/device_number.h"
#include "platform/comm/tty/kept_lines.h"
#include "platform/comm/tty/permission_hint.h"
#include "platform/comm/tty/tty_line.h"
#include "platform/kernel/background_close.h"
#include "platform/kernel/visible_text.h"

namespace comm {
namespace {

// How long an open waits for the device's last close, on the caller's thread.
constexpr std::chrono::seconds kLastClosePatience{3};

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

// The reason in words goes with the error code, for telling the user.
HANDLE OpenFailed(DWORD code, const std::string& reason) {
    SetLastErrorText(code, reason.c_str());
    return INVALID_HANDLE_VALUE;
}

HANDLE HandleFor(std::unique_ptr<Line> line) {
    auto device = CommDevice::Start(std::move(line));
    if (!device) return OpenFailed(GetLastError(), "cannot start the device's driver thread");
    HANDLE handle = kernel::NewHandle(kernel::Ref<kernel::Object>::Share(device.get()));
    if (!handle) {
        device->OnHandleClosed();
        return OpenFailed(ERROR_NOT_ENOUGH_MEMORY, "out of memory");
    }
    return handle;
}

// The connection's last close may still run: one server port serves one client.
HANDLE OpenNetworkPort(const net::NetAddress& address) {
    if (!kernel::WaitForBackgroundClose(net::NetAddressText(address), kLastClosePatience))
        return OpenFailed(ERROR_ACCESS_DENIED, "its last connection has not closed yet");
    net::LineResult result;
    std::unique_ptr<net::NetworkLine> line = net::NetworkLine::Open(address, result);
    if (!line) return OpenFailed(result.error, result.reason);
    return HandleFor(std::move(line));
}

}  // namespace
}  // namespace comm

HANDLE CreateFileA(LPCSTR fileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE) {
    using namespace comm;
    auto address = fileName ? NetworkPortFor(fileName) : std::nullopt;
    auto path = fileName ? LinuxDeviceFor(fileName) : std::nullopt;
    if (!path && !address) {
        auto form = fileName ? NetworkFormFor(fileName) : std::nullopt;
        // The form is as the user gave it: shown, not acted on.
        return OpenFailed(ERROR_FILE_NOT_FOUND,
                          form ? kernel::VisibleText(net::NetAddressProblem(*form)) : "not a serial device name");
    }
    if (creationDisposition != OPEN_EXISTING) return OpenFailed(ERROR_INVALID_PARAMETER, "a device can only be opened as existing");
    // Every transfer on a device handle is overlapped; there is no blocking variant.
    if (!(flagsAndAttributes & FILE_FLAG_OVERLAPPED)) return OpenFailed(ERROR_NOT_SUPPORTED, "only overlapped use is supported");
    if (address) return OpenNetworkPort(*address);

    // The device's last close may still run (kernel/background_close.h): the
    // line it puts back is the one this open is to find.
    if (!kernel::WaitForBackgroundClose(DeviceNumberOf(*path), kLastClosePatience))
        return OpenFailed(ERROR_ACCESS_DENIED, "Device or resource busy; its last close has not finished");
    DeviceIdentity identity;
    SavedLine original;
    int fd = OpenExclusive(*path, identity, original);
    if (fd < 0) return OpenFailed(Win32FromErrno(-fd), OpenFailureText(-fd, *path));
    return HandleFor(std::make_unique<TtyLine>(fd, *path, identity.key, original));
}
