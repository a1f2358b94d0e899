// GetCommDeviceIdentityA: which physical device a port name leads to now.
#include "platform/comm/device_identity.h"
#include "platform/comm/device_name.h"
#include "platform/comm/errno_map.h"
#include "platform/comm/text_out.h"

namespace {

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
    if (!comm::CopyText(identity.key, key, keySize) || !comm::CopyText(identity.text, text, textSize))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    return TRUE;
}
