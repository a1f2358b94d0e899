// QueryDosDeviceA, DescribeCommDeviceA and GetCommDeviceVariableA: the Linux
// device or the network port behind a port name, and what chooses it.
#include <optional>
#include <string>

#include "platform/comm/device_name.h"
#include "platform/comm/text_out.h"
#include "platform/win32.h"

namespace {

using Lookup = std::optional<std::string> (*)(std::string_view name);

// Looks the port name up as a device name and copies the answer, NUL
// included, into out; returns the characters stored or 0 with the last error.
DWORD Answer(LPCSTR deviceName, Lookup lookup, LPSTR out, DWORD max) {
    if (!deviceName || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::optional<std::string> answer = lookup(std::string("\\\\.\\") + deviceName);
    if (!answer) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (!comm::CopyText(*answer, out, max)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<DWORD>(answer->size() + 1);
}

}  // namespace

DWORD QueryDosDeviceA(LPCSTR deviceName, LPSTR targetPath, DWORD max) {
    return Answer(deviceName, comm::TargetFor, targetPath, max);
}

DWORD DescribeCommDeviceA(LPCSTR deviceName, LPSTR description, DWORD max) {
    return Answer(deviceName, comm::DescribeDevice, description, max);
}

BOOL GetCommDeviceVariableA(LPCSTR deviceName, LPSTR variable, DWORD size, LPBOOL isSet) {
    if (!deviceName || !variable || !isSet) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::optional<comm::DeviceVariable> chosen = comm::VariableFor(std::string("\\\\.\\") + deviceName);
    if (!chosen) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!comm::CopyText(chosen->name, variable, size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *isSet = chosen->set ? TRUE : FALSE;
    return TRUE;
}
