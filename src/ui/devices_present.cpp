#include "ui/devices_present.h"

namespace {

// "FTDI FT232R USB UART A50285BI (/dev/ttyUSB0)": the node too when the path is a stable name.
CString Described(const COMMDEVICEINFOA& device) {
    CString strText = device.szDescription;
    if (CString(device.szPath) != device.szNode) {
        if (!strText.IsEmpty()) strText += " ";
        strText += CString("(") + device.szNode + ")";
    }
    return strText;
}

}  // namespace

std::vector<COMMDEVICEINFOA> DevicesPresent() {
    std::vector<COMMDEVICEINFOA> devices;
    // A device may be plugged in between the count and the listing: ask again until it fits.
    for (DWORD nCount = EnumCommDevicesA(nullptr, 0); nCount > devices.size();) {
        devices.resize(nCount);
        nCount = EnumCommDevicesA(devices.data(), static_cast<DWORD>(devices.size()));
        if (nCount < devices.size()) devices.resize(nCount);
    }
    return devices;
}

CString DevicesUsage() {
    const std::vector<COMMDEVICEINFOA> devices = DevicesPresent();
    if (devices.empty()) return "No serial devices found on this machine.\n";
    CString strUsage = "Serial devices on this machine:\n";
    for (const COMMDEVICEINFOA& device : devices) {
        const CString strText = Described(device);
        strUsage += CString("  ") + device.szPath + (strText.IsEmpty() ? CString() : ": " + strText) + "\n";
    }
    strUsage += CString("To capture from one: zandrel -c ") + devices.front().szPath + " -r capture.txt\n";
    return strUsage;
}

CString DevicesHint(const CString& strVariable, const CString& strDevice) {
    std::vector<COMMDEVICEINFOA> devices = DevicesPresent();
    // The device that failed is no way out.
    std::erase_if(devices, [&](const COMMDEVICEINFOA& device) { return strDevice == device.szNode; });
    // A line elsewhere is reached through its port server.
    if (devices.empty())
        return "no other serial devices found on this machine; for a port server's, set " + strVariable +
               "=rfc2217://HOST:PORT";
    CString strHint = "devices here: ";
    for (size_t i = 0; i < devices.size(); ++i) {
        if (i > 0) strHint += ", ";
        strHint += devices[i].szNode;
        if (devices[i].szDescription[0] != '\0') strHint += CString(" (") + devices[i].szDescription + ")";
    }
    const CString strSetting = strVariable + "=" + devices.front().szPath;
    strHint += devices.size() == 1 ? "; set " + strSetting : "; set " + strVariable + " to one, such as " + strSetting;
    return strHint;
}
