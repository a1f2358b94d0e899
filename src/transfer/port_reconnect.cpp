// A job's device that goes away (a USB adapter pulled, a hub that browns out)
// is let go at once, and the job waits for the same device to come back, then
// goes on where it was: a capture appends to the same files, a write sends the
// character the port did not take and keeps its Loop. Another device that
// takes the name meanwhile is left alone: not even opened, and so is a device
// whose identity cannot be read (it might be any), a terminal in use, or a
// pseudo-terminal that is not a new one made for the name.

#include <vector>

#include "ui/zandrel_dlg.h"

namespace {

constexpr char WAITING_STATUS[] = "Status:  Port disconnected, waiting for it to come back...";

// Nothing is at the path (yet): waited for without a word.
bool IsAway(DWORD dwError) {
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND || dwError == ERROR_DEVICE_NOT_CONNECTED;
}

}  // namespace

LRESULT CZandrelDlg::OnPortDisconnected(WPARAM, LPARAM) {
    // A notice from a port that Stop or a new job has closed since tells nothing.
    if (!m_Port.IsOpen()) return 0;
    const bool bJobRunning = m_eJob == JobCapture || m_bSending;
    // Characters a write counts as sent that the line never passed on (a port
    // server's end did not acknowledge them): they may be lost, and are not sent again.
    DWORD dwNotPassedOn = 0;
    if (!m_bSending || m_Port.GetUnsentCount(dwNotPassedOn) != 0) dwNotPassedOn = 0;
    // Holding the dead node would make the kernel give the device another name when it is back.
    ClosePort();
    if (!bJobRunning) return 0;
    if (m_eJob == JobCapture && m_bArrivalTimes) {
        NoteTimeEvent("disconnected");
        FlushTimeRows();
    }

    if (m_bSending) KillTimer(SEND_TIMER_ID);
    AfxHoldJobProgress(TRUE, "waiting for " + JobDevicePath() + " to come back");
    m_bWaitingForPort = true;
    m_strWaitTold.Empty();
    DEV_BROADCAST_HDR filter = {sizeof filter, DBT_DEVTYP_PORT, 0};
    m_hDeviceNotify = RegisterDeviceNotificationA(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    // Also tried now and then: not every device appears where arrivals are watched.
    SetTimer(RECONNECT_TIMER_ID, RECONNECT_PERIOD, nullptr);
    ShowStatus(WAITING_STATUS);
    CString strLost;
    if (dwNotPassedOn > 0) strLost.Format("; up to %lu characters sent may not have reached it", static_cast<unsigned long>(dwNotPassedOn));
    AfxReportJobNotice(JobDevicePath() + " disconnected" + strLost + "; waiting for it to come back");
    return 0;
}

BOOL CZandrelDlg::OnDeviceChange(UINT nEventType, DWORD_PTR dwData) {
    if (nEventType == DBT_DEVICEARRIVAL) TryReconnect(false);
    return TRUE;
}

void CZandrelDlg::TryReconnect(bool bTellWhy) {
    if (!m_bWaitingForPort) return;
    CString strKey, strText;
    if (!ReadJobDeviceIdentity(strKey, strText)) {
        if (bTellWhy && !IsAway(GetLastError())) {
            const CString strWhy = LastErrorWords();
            TellWhileWaiting("unknown " + strWhy, JobDevicePath() + " is back but its identity cannot be read: " +
                                                      strWhy + "; still waiting");
        }
        return;
    }
    // An empty key: the identity could not be read at the job's open, so no device can be told to be that one.
    if (m_strJobDeviceKey.IsEmpty()) {
        TellWhileWaiting("unknown at open", JobDevicePath() + " is back but its identity could not be read when the "
                                                              "job opened it; still waiting");
        return;
    }
    if (strKey != m_strJobDeviceKey) {
        // Told from the timer only: at an arrival notice the device may still
        // be coming up, its USB strings not all in sysfs yet.
        if (bTellWhy)
            TellWhileWaiting("other " + strKey, JobDevicePath() + " is now a different device (" + m_strJobDeviceText +
                                                    " was expected); still waiting");
        return;
    }
    if (!JobDeviceFreeToTakeUp()) return;
    if (!OpenJobDevice()) {
        // A wait for a port server that Stop or a signal ended is no news either.
        if (bTellWhy && !IsAway(GetLastError()) && GetLastError() != ERROR_OPERATION_ABORTED) {
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
        ShowStatus(WRITING_STATUS);
    } else {
        // A capture shows what it receives; until something comes, that it is back.
        ShowStatus("Status:  " + strBack);
    }
    AfxReportJobNotice(strBack);
    if (m_eJob == JobCapture && m_bArrivalTimes) {
        TakeLineCountBaseline();  // a device opened again counts afresh
        NoteTimeEvent("back");
        FlushTimeRows();
    }
    if (!bSettingsTaken) ShowSettingsKept();
}

bool CZandrelDlg::ReadJobDeviceIdentity(CString& strKey, CString& strText) const {
    std::vector<char> key;
    std::vector<char> text;
    // Asked first for the sizes, then again with that much room, whole; once
    // more if another device took the path in between and needs more.
    for (;;) {
        DWORD dwKeySize = static_cast<DWORD>(key.size());
        DWORD dwTextSize = static_cast<DWORD>(text.size());
        if (GetCommDeviceIdentityA(m_szJobDevice + DEVICE_PREFIX_LENGTH, key.data(), &dwKeySize, text.data(),
                                   &dwTextSize))
            break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        key.resize(dwKeySize);
        text.resize(dwTextSize);
    }
    strKey = key.data();
    strText = text.data();
    return true;
}

void CZandrelDlg::TellWhileWaiting(const CString& strWhat, const CString& strNotice) {
    if (strWhat == m_strWaitTold) return;
    m_strWaitTold = strWhat;
    ShowStatus(FaultStatusText(strNotice));
    AfxReportJobNotice(strNotice);
}

void CZandrelDlg::StopWaitingForPort() {
    if (!m_bWaitingForPort) return;
    KillTimer(RECONNECT_TIMER_ID);
    if (m_hDeviceNotify != nullptr) UnregisterDeviceNotification(m_hDeviceNotify);
    m_hDeviceNotify = nullptr;
    m_bWaitingForPort = false;
}
