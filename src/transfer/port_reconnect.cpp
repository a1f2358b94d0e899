// A job's device that goes away (a USB adapter pulled, a hub that browns out)
// is let go at once, and the job waits for the same device to come back, then
// goes on where it was: a capture appends to the same files, a write sends the
// character the port did not take and keeps its Loop.

#include "ui/zandrel_dlg.h"

namespace {

constexpr char WAITING_STATUS[] = "Status:  Port disconnected, waiting for it to come back...";

}  // namespace

LRESULT CZandrelDlg::OnPortDisconnected(WPARAM, LPARAM) {
    // A notice from a port that Stop or a new job has closed since tells nothing.
    if (!m_Port.IsOpen()) return 0;
    const bool bJobRunning = m_eJob == JobCapture || m_bSending;
    // Holding the dead node would make the kernel give the device another name when it is back.
    ClosePort();
    if (!bJobRunning) return 0;

    if (m_bSending) KillTimer(SEND_TIMER_ID);
    AfxHoldJobProgress(TRUE);
    m_bWaitingForPort = true;
    DEV_BROADCAST_HDR filter = {sizeof filter, DBT_DEVTYP_PORT, 0};
    m_hDeviceNotify = RegisterDeviceNotificationA(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    // Also tried now and then: not every device appears where arrivals are watched.
    SetTimer(RECONNECT_TIMER_ID, RECONNECT_PERIOD, nullptr);
    SetDlgItemText(IDC_STATUS, WAITING_STATUS);
    AfxReportJobNotice(JobDevicePath() + " disconnected; waiting for it to come back");
    return 0;
}

BOOL CZandrelDlg::OnDeviceChange(UINT nEventType, DWORD_PTR dwData) {
    if (nEventType == DBT_DEVICEARRIVAL) TryReconnect();
    return TRUE;
}

void CZandrelDlg::TryReconnect() {
    if (!m_bWaitingForPort || !OpenJobDevice()) return;
    StopWaitingForPort();
    AfxHoldJobProgress(FALSE);
    const bool bSettingsTaken = ApplyJobSettings();
    if (m_eJob == JobWrite) {
        // The tick grid starts again from now.
        SetTimer(SEND_TIMER_ID, m_nSendPeriod, nullptr);
        SetDlgItemText(IDC_STATUS, WRITING_STATUS);
    } else {
        SetDlgItemText(IDC_STATUS, "");
    }
    AfxReportJobNotice(JobDevicePath() + " is back; " + (m_eJob == JobWrite ? "write" : "capture") + " resumed");
    if (!bSettingsTaken) ShowSettingsKept();
}

void CZandrelDlg::StopWaitingForPort() {
    if (!m_bWaitingForPort) return;
    KillTimer(RECONNECT_TIMER_ID);
    if (m_hDeviceNotify != nullptr) UnregisterDeviceNotification(m_hDeviceNotify);
    m_hDeviceNotify = nullptr;
    m_bWaitingForPort = false;
}
