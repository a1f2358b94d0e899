// CreateFileA for serial devices: name mapping, then a tty's line
// (tty/tty_open.h) or a port server's across the network.
#include "platform/comm/comm_device.h"
#include "platform/comm/device_name.h"
#include "platform/comm/net/network_line.h"
#include "platform/comm/tty/device_number.h"
#include "platform/comm/tty/tty_open.h"
#include "platform/kernel/background_close.h"
#include "platform/kernel/visible_text.h"

namespace comm {
namespace {

// How long an open waits for the device's last close, on the caller's thread.
constexpr std::chrono::seconds kLastClosePatience{3};

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
    DWORD error = ERROR_SUCCESS;
    std::string reason;
    std::unique_ptr<TtyLine> line = OpenTty(*path, error, reason);
    if (!line) return OpenFailed(error, reason);
    return HandleFor(std::move(line));
}
