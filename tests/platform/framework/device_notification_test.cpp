// Device arrival notices: a node appearing in /dev reaches the registered
// window as WM_DEVICECHANGE DBT_DEVICEARRIVAL, and nothing does once unregistered.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/framework/headless/headless.h"
#include "message_window_test.h"

namespace {

class ArrivalReceiver : public CWnd {
public:
    int arrivals = 0;

protected:
    afx_msg BOOL OnDeviceChange(UINT nEventType, DWORD_PTR) {
        if (nEventType == DBT_DEVICEARRIVAL) ++arrivals;
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ArrivalReceiver, CWnd)
    ON_WM_DEVICECHANGE()
END_MESSAGE_MAP()

class DeviceNotification : public MessageWindowTest<ArrivalReceiver> {
protected:
    void TearDown() override { std::filesystem::remove(m_node); }

    // A node appears in /dev, as one does when an adapter is plugged in (tests run as root).
    bool PlugIn() { return static_cast<bool>(std::ofstream(m_node)); }

    DEV_BROADCAST_HDR filter = {sizeof filter, DBT_DEVTYP_PORT, 0};
    std::filesystem::path m_node = "/dev/zandrel-test-" + std::to_string(getpid());
};

TEST_F(DeviceNotification, ANewNodeReachesTheWindowUntilUnregistered) {
    HDEVNOTIFY notify = RegisterDeviceNotificationA(window.m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(notify, nullptr);
    if (!PlugIn()) GTEST_SKIP() << "cannot create a node in /dev here (not root?)";
    EXPECT_TRUE(headless::DispatchUntil([&] { return window.arrivals > 0; }, 5000));
    EXPECT_TRUE(UnregisterDeviceNotification(notify));
    EXPECT_FALSE(UnregisterDeviceNotification(notify)) << "only once";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    const int arrivals = window.arrivals;
    std::filesystem::remove(m_node);
    PlugIn();
    headless::DispatchUntil([] { return false; }, 200);
    EXPECT_EQ(window.arrivals, arrivals);
}

TEST_F(DeviceNotification, OnlySerialPortsForAWindowAreTaken) {
    DEV_BROADCAST_HDR volume = {sizeof volume, 2, 0};
    EXPECT_EQ(RegisterDeviceNotificationA(window.m_hWnd, &volume, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegisterDeviceNotificationA(nullptr, &filter, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    EXPECT_EQ(RegisterDeviceNotificationA(window.m_hWnd, &filter, 1), nullptr);
    EXPECT_FALSE(UnregisterDeviceNotification(nullptr));
}

}  // namespace
