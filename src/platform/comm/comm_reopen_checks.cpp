// GetCommPtyInstanceA, GetCommTerminalSessionA: what a job looks at before it
// takes up again a device that went away.
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "platform/comm/call_result.h"
#include "platform/comm/device_name.h"
#include "platform/comm/errno_map.h"
#include "platform/comm/text_out.h"
#include "platform/comm/tty/controlling_session.h"
#include "platform/comm/tty/pty_instance.h"

using comm::Fail;

BOOL GetCommPtyInstanceA(LPCSTR deviceName, LPSTR instance, DWORD size) {
    if (!deviceName || !instance) return Fail(ERROR_INVALID_PARAMETER);
    auto path = comm::LinuxDeviceFor(std::string("\\\\.\\") + deviceName);
    if (!path) return Fail(ERROR_FILE_NOT_FOUND);
    bool isPty = false;
    std::string text;
    if (int error = comm::PtyInstance(*path, isPty, text); error != 0) return Fail(comm::Win32FromErrno(error));
    if (!isPty) return Fail(ERROR_NOT_SUPPORTED);
    if (!comm::CopyText(text, instance, size)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    return TRUE;
}

BOOL GetCommTerminalSessionA(LPCSTR deviceName, LPSTR node, DWORD nodeSize, LPDWORD processId) {
    if (!deviceName || !node || !processId) return Fail(ERROR_INVALID_PARAMETER);
    const std::string name = std::string("\\\\.\\") + deviceName;
    // A network port is nobody's terminal.
    if (auto address = comm::NetworkPortFor(name)) {
        if (!comm::CopyText(comm::net::NetAddressText(*address), node, nodeSize)) return Fail(ERROR_INSUFFICIENT_BUFFER);
        *processId = 0;
        return TRUE;
    }
    auto path = comm::LinuxDeviceFor(name);
    if (!path) return Fail(ERROR_FILE_NOT_FOUND);
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(*path, error);
    struct stat device {};
    if (error || stat(target.c_str(), &device) != 0) return Fail(comm::Win32FromErrno(error ? error.value() : errno));
    pid_t session = 0;
    if (S_ISCHR(device.st_mode)) {
        if (int failed = comm::ControllingSession(device.st_rdev, session); failed != 0)
            return Fail(comm::Win32FromErrno(failed));
    }
    if (!comm::CopyText(target.string(), node, nodeSize)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    *processId = static_cast<DWORD>(session);
    return TRUE;
}
