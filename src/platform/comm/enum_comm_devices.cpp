// EnumCommDevicesA: the serial devices this machine has, for a user to pick.
#include <algorithm>
#include <cstring>

#include "platform/comm/tty/serial_devices.h"
#include "platform/win32.h"

namespace {

// Cut to fit: a description is only shown. (A by-id path that does not fit is never chosen.)
void CutToFit(const std::string& text, CHAR (&out)[COMM_DEVICE_TEXT_SIZE]) {
    const size_t size = std::min<size_t>(text.size(), COMM_DEVICE_TEXT_SIZE - 1);
    std::memcpy(out, text.data(), size);
    out[size] = '\0';
}

}  // namespace

DWORD EnumCommDevicesA(COMMDEVICEINFOA* devices, DWORD max) {
    const std::vector<comm::SerialDevice> present = comm::SerialDevicesPresent("/");
    for (DWORD i = 0; i < max && i < present.size() && devices; ++i) {
        CutToFit(present[i].path, devices[i].szPath);
        CutToFit(present[i].node, devices[i].szNode);
        CutToFit(present[i].description, devices[i].szDescription);
    }
    return static_cast<DWORD>(present.size());
}
