// RegisterDeviceNotificationA for serial ports: a thread per registration
// watches the directories where device nodes appear (inotify) and posts
// WM_DEVICECHANGE DBT_DEVICEARRIVAL to the window when one does.
#include <sys/inotify.h>
#include <unistd.h>

#include <memory>

#include "platform/framework/afxwin.h"
#include "platform/framework/descriptor_watch.h"
#include "platform/kernel/kernel_object.h"

namespace {

// Where serial device nodes and their stable names appear. udev creates a
// node, then sets its owner and mode: the second step is when it can be opened.
constexpr const char* kWatchedDirectories[] = {"/dev", "/dev/serial/by-id"};
constexpr std::uint32_t kWatchedChanges = IN_CREATE | IN_ATTRIB | IN_MOVED_TO;

// A registration is a kernel object behind its handle, so that only a live
// registration can be unregistered, and only once.
class DeviceWatch : public kernel::Object {
public:
    explicit DeviceWatch(HWND recipient) : m_notifyFd(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
        // A directory that does not exist yet is simply not watched.
        for (const char* directory : kWatchedDirectories) inotify_add_watch(m_notifyFd, directory, kWatchedChanges);
        m_watch = std::make_unique<DescriptorWatch>(m_notifyFd, [this, recipient] {
            // One notice for everything read at once: the window looks for its own device itself.
            alignas(inotify_event) char events[4096];
            if (read(m_notifyFd, events, sizeof events) > 0) PostMessageA(recipient, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
        });
    }
    ~DeviceWatch() override {
        m_watch.reset();
        if (m_notifyFd >= 0) close(m_notifyFd);
    }

    bool Watching() const { return m_watch && m_watch->Running(); }
    // No notice is posted once this returns.
    void OnHandleClosed() override { m_watch.reset(); }

private:
    int m_notifyFd;
    std::unique_ptr<DescriptorWatch> m_watch;
};

}  // namespace

HDEVNOTIFY RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags) {
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(filter);
    if (!recipient || !header || header->dbch_devicetype != DBT_DEVTYP_PORT || flags != DEVICE_NOTIFY_WINDOW_HANDLE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto watch = kernel::Ref<DeviceWatch>::Adopt(new DeviceWatch(static_cast<HWND>(recipient)));
    if (!watch->Watching()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return kernel::NewHandle(kernel::Ref<kernel::Object>::Share(watch.get()));
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY handle) {
    // Held across the close, so the address cannot be reused by another
    // object between the check and the close.
    kernel::Ref<DeviceWatch> watch = kernel::Lookup<DeviceWatch>(handle);
    if (!watch) return FALSE;  // ERROR_INVALID_HANDLE
    return CloseHandle(handle);
}
