// CreateFileA for serial devices: name mapping, exclusive open, raw line.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/comm/comm_device.h"
#include "platform/comm/device_name.h"
#include "platform/comm/errno_map.h"
#include "platform/comm/open_report.h"

namespace comm {
namespace {

std::string ErrnoText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

// An open descriptor or -errno. Exclusive as share mode 0 is: flock keeps out
// every other opener (TIOCEXCL alone lets root in), TIOCEXCL also keeps out
// programs that do not take the lock. original receives the line as it was.
int OpenExclusive(const std::string& path, SavedLine& original) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -errno;
    int error = 0;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) error = errno;
    else if (ioctl(fd, TIOCEXCL) != 0) error = errno;
    else {
        original = SaveLine(fd);
        error = original.valid ? MakeRaw(fd) : errno;
        if (error == 0) return fd;
        RestoreLine(fd, original);
    }
    close(fd);  // also drops the lock
    return -error;
}

HANDLE Fail(CommOpenReport& report, DWORD code, std::string reason) {
    report.failed = true;
    report.reason = std::move(reason);
    RecordOpen(report);
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

}  // namespace
}  // namespace comm

HANDLE CreateFileA(LPCSTR fileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE) {
    using namespace comm;
    CommOpenReport report;
    report.attempted = true;
    report.devicePath = fileName ? fileName : "";
    auto path = fileName ? LinuxDeviceFor(fileName) : std::nullopt;
    if (!path) return Fail(report, ERROR_FILE_NOT_FOUND, "not a serial device name");
    report.linuxDevice = *path;
    if (creationDisposition != OPEN_EXISTING) return Fail(report, ERROR_INVALID_PARAMETER, "a device can only be opened as existing");
    // Every transfer on a device handle is overlapped; there is no blocking variant.
    if (!(flagsAndAttributes & FILE_FLAG_OVERLAPPED)) return Fail(report, ERROR_NOT_SUPPORTED, "only overlapped use is supported");

    SavedLine original;
    int fd = OpenExclusive(*path, original);
    if (fd < 0) return Fail(report, Win32FromErrno(-fd), ErrnoText(-fd));
    auto device = CommDevice::Start(fd, *path, original);
    if (!device) return Fail(report, GetLastError(), "cannot start the device's driver thread");
    HANDLE handle = kernel::NewHandle(kernel::Ref<kernel::Object>::Share(device.get()));
    if (!handle) {
        device->OnHandleClosed();
        return Fail(report, ERROR_NOT_ENOUGH_MEMORY, "out of memory");
    }
    RecordOpen(report);
    return handle;
}
