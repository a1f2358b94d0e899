// GetCommDeviceIdentityA: which physical device a port name leads to now.
#include <cstring>

#include "platform/comm/device_identity.h"
#include "platform/comm/device_name.h"
#include "platform/comm/errno_map.h"

namespace {

bool CopyOut(const std::string& value, LPSTR out, DWORD size) {
    if (value.size() + 1 > size) return false;
    std::memcpy(out, value.c_str(), value.size() + 1);
    return true;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

BOOL GetCommDeviceIdentityA(LPCSTR deviceName, LPSTR key, DWORD keySize, LPSTR text, DWORD textSize) {
    if (!deviceName || !key || !text) return Fail(ERROR_INVALID_PARAMETER);
    auto path = comm::LinuxDeviceFor(std::string("\\\\.\\") + deviceName);
    if (!path) return Fail(ERROR_FILE_NOT_FOUND);
    comm::DeviceIdentity identity;
    if (int error = comm::IdentityOfPath(*path, identity); error != 0) return Fail(comm::Win32FromErrno(error));
    if (!CopyOut(identity.key, key, keySize) || !CopyOut(identity.text, text, textSize))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    return TRUE;
}
