// Write to Port: sends the send file to the port one character per timer tick.

#include <cstdio>

#include "transfer/port_settings.h"
#include "transfer/send_file.h"
#include "transfer/text_mode_reader.h"
#include "ui/zandrel_dlg.h"

void CZandrelDlg::OnWriteToPort() {
    ClosePort();

    if (!OpenJobPort()) return;
    m_eJob = JobWrite;
    ConfigureJobPort();

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
    UINT nPeriod = SendTimerPeriod(strTimeDelay);
    SetTimer(SEND_TIMER_ID, nPeriod, nullptr);
    m_bSending = true;
    AfxBeginJobProgress(AFX_JOB_WRITE, m_strFileName, SendFileSize(m_strFileName), nPeriod, IsLoopChecked());
    SetDlgItemText(IDC_STATUS, "Status:  Data is being written to the port...");
    GetDlgItem(IDC_WRITE_TO_PORT)->EnableWindow(FALSE);
    GetDlgItem(IDC_CAPTURE_TO_FILE)->EnableWindow(FALSE);
}

void CZandrelDlg::OnTimer(UINT nIDEvent) {
    // After Stop the timer goes on firing; its ticks find no file.
    if (nIDEvent == SEND_TIMER_ID && m_pSendFile != nullptr) SendNextChar();
    Default();
}

void CZandrelDlg::SendNextChar() {
    TextModeChar c = ReadTextModeChar(m_pSendFile);
    if (!c.bEnd) {
        // A NUL gives an empty string: nothing is sent, but the tick is used.
        const char szChar[2] = {static_cast<char>(c.nChar), '\0'};
        if (m_Port.IsOpen()) m_Port.WriteString(szChar, nullptr, nullptr, INFINITE);
        AfxReportJobProgress(1);
        return;
    }
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
