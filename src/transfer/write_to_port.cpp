// Write to Port: sends the send file to the port one character per timer tick.

#include <cstdio>

#include "ui/port_settings.h"
#include "transfer/send_file.h"
#include "transfer/text_mode_reader.h"
#include "ui/zandrel_dlg.h"

void CZandrelDlg::OnWriteToPort() {
    ClosePort();

    if (!OpenJobPort()) return;
    m_eJob = JobWrite;
    const bool bSettingsKept = !ConfigureJobPort();

    GetDlgItemText(IDC_SEND_FILE, m_strFileName);
    CString strTimeDelay;
    GetDlgItemText(IDC_TIME_DELAY, strTimeDelay);

    if (m_strFileName == "") {
        MessageBox("Incorrect file name", nullptr, MB_OK);
        m_pSendFile = nullptr;
        return;
    }
    m_pSendFile = OpenSendFile(m_strFileName);
    if (m_pSendFile == nullptr) {
        MessageBox("File not found.", nullptr, MB_OK);
        return;
    }

    // An id that is still running after Stop is replaced, so the new period applies.
    m_nSendPeriod = SendTimerPeriod(strTimeDelay);
    m_nHeldChar = -1;
    SetTimer(SEND_TIMER_ID, m_nSendPeriod, nullptr);
    m_bSending = true;
    AfxBeginJobProgress(AFX_JOB_WRITE, m_strFileName, SendFileSize(m_strFileName), m_nSendPeriod, IsLoopChecked());
    SetDlgItemText(IDC_STATUS, "Status:  Data is being written to the port...");
    EnableJobButtons(FALSE);
    if (bSettingsKept) ShowSettingsKept();
}

void CZandrelDlg::OnTimer(UINT nIDEvent) {
    // After Stop the timer goes on firing; its ticks find no file.
    if (nIDEvent == SEND_TIMER_ID && m_pSendFile != nullptr) SendNextChar();
    if (nIDEvent == RECONNECT_TIMER_ID) TryReconnect(true);
    Default();
}

void CZandrelDlg::SendNextChar() {
    if (m_nHeldChar < 0) {
        TextModeChar c = ReadTextModeChar(m_pSendFile);
        if (c.bEnd) {
            EndSendPass();
            return;
        }
        m_nHeldChar = c.nChar;
    }
    // A NUL gives an empty string: nothing is sent, but the tick is used.
    const char szChar[2] = {static_cast<char>(m_nHeldChar), '\0'};
    const LONG nResult = m_Port.IsOpen() ? m_Port.WriteString(szChar, nullptr, nullptr, INFINITE) : 0;
    // A character the device went away with was not taken: it goes first when the device is back.
    if (nResult == ERROR_DEVICE_NOT_CONNECTED || nResult == ERROR_OPERATION_ABORTED) return;
    m_nHeldChar = -1;
    AfxReportJobProgress(1);
}

void CZandrelDlg::EndSendPass() {
    // The tick that meets the end of the file sends nothing.
    if (!IsLoopChecked()) {
        StopSendTimer();
        SetDlgItemText(IDC_STATUS, "");
        return;
    }
    std::fclose(m_pSendFile);
    m_pSendFile = nullptr;
    m_pSendFile = OpenSendFile(m_strFileName);
    if (m_pSendFile == nullptr) {
        // Ticks dispatched while the box is open find no file; the timer stops after it.
        MessageBox("File not found.", nullptr, MB_OK);
        m_pSendFile = nullptr;
        StopSendTimer();
        return;
    }
    AfxNextJobPass(SendFileSize(m_strFileName));
}

void CZandrelDlg::StopSendTimer() {
    KillTimer(SEND_TIMER_ID);
    m_bSending = false;
    AfxEndJobProgress();
}

bool CZandrelDlg::IsLoopChecked() {
    return GetDlgItem(IDC_LOOP)->SendMessage(BM_GETCHECK) == BST_CHECKED;
}
