// QueryDosDeviceA: the Linux device behind a port name.
#include <cstring>
#include <string>

#include "platform/comm/device_name.h"
#include "platform/kernel/kernel_object.h"

DWORD QueryDosDeviceA(LPCSTR deviceName, LPSTR targetPath, DWORD max) {
    if (!deviceName || !targetPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::optional<std::string> device = comm::LinuxDeviceFor(std::string("\\\\.\\") + deviceName);
    if (!device) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (device->size() + 1 > max) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(targetPath, device->c_str(), device->size() + 1);
    return static_cast<DWORD>(device->size() + 1);
}
