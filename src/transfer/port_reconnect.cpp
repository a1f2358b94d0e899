// A job's device that goes away (a USB adapter pulled, a hub that browns out)
// is let go at once, and the job waits for the same device to come back, then
// goes on where it was: a capture appends to the same files, a write sends the
// character the port did not take and keeps its Loop. Another device that
// takes the name meanwhile is left alone: not even opened; nor is a terminal
// in use, or a pseudo-terminal that is not a new one made for the name.

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
    m_strWaitTold.Empty();
    DEV_BROADCAST_HDR filter = {sizeof filter, DBT_DEVTYP_PORT, 0};
    m_hDeviceNotify = RegisterDeviceNotificationA(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    // Also tried now and then: not every device appears where arrivals are watched.
    SetTimer(RECONNECT_TIMER_ID, RECONNECT_PERIOD, nullptr);
    SetDlgItemText(IDC_STATUS, WAITING_STATUS);
    AfxReportJobNotice(JobDevicePath() + " disconnected; waiting for it to come back");
    return 0;
}

BOOL CZandrelDlg::OnDeviceChange(UINT nEventType, DWORD_PTR dwData) {
    if (nEventType == DBT_DEVICEARRIVAL) TryReconnect(false);
    return TRUE;
}

void CZandrelDlg::TryReconnect(bool bTellWhy) {
    if (!m_bWaitingForPort) return;
    CString strKey, strText;
    // One whose identity could not be read at the job's open is taken up whatever it is.
    if (ReadJobDeviceIdentity(strKey, strText) && !m_strJobDeviceKey.IsEmpty() && strKey != m_strJobDeviceKey) {
        TellWhileWaiting("other " + strKey, JobDevicePath() + " is now a different device (" + m_strJobDeviceText +
                                                " was expected); still waiting");
        return;
    }
    if (!JobDeviceFreeToTakeUp()) return;
    if (!OpenJobDevice()) {
        const DWORD dwError = GetLastError();
        const bool bAway = dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ||
                           dwError == ERROR_DEVICE_NOT_CONNECTED;
        if (bTellWhy && !bAway) {
            const CString strWhy = LastErrorWords();
            TellWhileWaiting("cannot open " + strWhy,
                             JobDevicePath() + " is back but cannot be opened: " + strWhy + "; still waiting");
        }
        return;
    }
    StopWaitingForPort();
    AfxHoldJobProgress(FALSE);
    const bool bSettingsTaken = ApplyJobSettings();
    const CString strBack = JobDevicePath() + " is back; " + (m_eJob == JobWrite ? "write" : "capture") + " resumed";
    if (m_eJob == JobWrite) {
        // The tick grid starts again from now, and so does the line's pace.
        m_linePace.Reset();
        SetTimer(SEND_TIMER_ID, m_nSendPeriod, nullptr);
        // A running write always says so, as when its line takes data again.
        SetDlgItemText(IDC_STATUS, WRITING_STATUS);
    } else {
        // A capture shows what it receives; until something comes, that it is back.
        SetDlgItemText(IDC_STATUS, "Status:  " + strBack);
    }
    AfxReportJobNotice(strBack);
    if (!bSettingsTaken) ShowSettingsKept();
}

bool CZandrelDlg::ReadJobDeviceIdentity(CString& strKey, CString& strText) const {
    char szKey[1024];
    char szText[1024];
    if (!GetCommDeviceIdentityA(m_szJobDevice + DEVICE_PREFIX_LENGTH, szKey, sizeof szKey, szText, sizeof szText))
        return false;
    strKey = szKey;
    strText = szText;
    return true;
}

void CZandrelDlg::TellWhileWaiting(const CString& strWhat, const CString& strNotice) {
    if (strWhat == m_strWaitTold) return;
    m_strWaitTold = strWhat;
    SetDlgItemText(IDC_STATUS, FaultStatusText(strNotice));
    AfxReportJobNotice(strNotice);
}

void CZandrelDlg::StopWaitingForPort() {
    if (!m_bWaitingForPort) return;
    KillTimer(RECONNECT_TIMER_ID);
    if (m_hDeviceNotify != nullptr) UnregisterDeviceNotification(m_hDeviceNotify);
    m_hDeviceNotify = nullptr;
    m_bWaitingForPort = false;
}
