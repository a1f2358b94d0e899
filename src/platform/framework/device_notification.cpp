// RegisterDeviceNotificationA for serial ports: a thread per registration
// watches the directories where device nodes appear (inotify) and posts
// WM_DEVICECHANGE DBT_DEVICEARRIVAL to the window when one does.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

#include "platform/framework/afxwin.h"

namespace {

// Where serial device nodes and their stable names appear. udev creates a
// node, then sets its owner and mode: the second step is when it can be opened.
constexpr const char* kWatchedDirectories[] = {"/dev", "/dev/serial/by-id"};
constexpr std::uint32_t kWatchedChanges = IN_CREATE | IN_ATTRIB | IN_MOVED_TO;

class DeviceWatch {
public:
    explicit DeviceWatch(HWND recipient) : m_recipient(recipient) {
        m_notifyFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        m_stopFd = eventfd(0, EFD_CLOEXEC);
        if (m_notifyFd < 0 || m_stopFd < 0) return;
        // A directory that does not exist yet is simply not watched.
        for (const char* directory : kWatchedDirectories) inotify_add_watch(m_notifyFd, directory, kWatchedChanges);
        m_thread = std::thread(&DeviceWatch::Watch, this);
    }
    ~DeviceWatch() {
        if (m_thread.joinable()) {
            std::uint64_t one = 1;
            ssize_t written = write(m_stopFd, &one, sizeof one);
            (void)written;  // an eventfd write of 1 cannot fail short of overflow
            m_thread.join();
        }
        if (m_notifyFd >= 0) close(m_notifyFd);
        if (m_stopFd >= 0) close(m_stopFd);
    }
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    bool Watching() const { return m_thread.joinable(); }

private:
    void Watch() {
        alignas(inotify_event) char events[4096];
        for (;;) {
            pollfd fds[2] = {{m_notifyFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) continue;  // EINTR
            if (fds[1].revents) return;
            // One notice for everything read at once: the window looks for its own device itself.
            if (read(m_notifyFd, events, sizeof events) > 0) PostMessageA(m_recipient, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
        }
    }

    HWND m_recipient;
    int m_notifyFd = -1;
    int m_stopFd = -1;
    std::thread m_thread;
};

}  // namespace

HDEVNOTIFY RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags) {
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(filter);
    if (!recipient || !header || header->dbch_devicetype != DBT_DEVTYP_PORT || flags != DEVICE_NOTIFY_WINDOW_HANDLE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* watch = new DeviceWatch(static_cast<HWND>(recipient));
    if (!watch->Watching()) {
        delete watch;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return watch;
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY handle) {
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete static_cast<DeviceWatch*>(handle);
    return TRUE;
}
