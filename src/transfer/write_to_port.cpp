// Write to Port: sends the send file to the port one character per timer tick.

#include <cstdio>

#include "transfer/port_settings.h"
#include "transfer/send_file.h"
#include "transfer/text_mode_reader.h"
#include "ui/zandrel_dlg.h"

namespace {

constexpr DWORD QUEUE_SIZE = 2048;

}  // namespace

void CZandrelDlg::OnWriteToPort() {
    if (m_Port.IsOpen()) m_Port.Close();

    CString strPort;
    GetDlgItemText(IDC_COM_PORT, strPort);
    char szDevice[DEVICE_NAME_SIZE];
    // A port text too long for the device name fails like a port that cannot be opened.
    if (!FormatDeviceName(strPort, szDevice)) return;
    if (m_Port.Open(szDevice, this, 0, 0, QUEUE_SIZE, QUEUE_SIZE) != 0) return;
    m_eJob = JobWrite;

    CString strBaud, strDataBits, strParity, strStopBits;
    GetDlgItemText(IDC_BAUD, strBaud);
    GetDlgItemText(IDC_DATA_BITS, strDataBits);
    GetDlgItemText(IDC_PARITY, strParity);
    GetDlgItemText(IDC_STOP_BITS, strStopBits);
    LineSettings settings = ConvertLineSettings(strBaud, strDataBits, strParity, strStopBits);
    const bool bSettingsKept =
        m_Port.SetLineSettings(settings.dwBaudRate, settings.nDataBits, settings.nParity, settings.nStopBits) != 0;
    m_Port.SetReadTimeoutMode(CSerialPort::ReadNonBlocking);

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
    SetTimer(SEND_TIMER_ID, SendTimerPeriod(strTimeDelay), nullptr);
    m_bSending = true;
    SetDlgItemText(IDC_STATUS, "Status:  Data is being written to the port...");
    GetDlgItem(IDC_WRITE_TO_PORT)->EnableWindow(FALSE);
    GetDlgItem(IDC_CAPTURE_TO_FILE)->EnableWindow(FALSE);
    if (bSettingsKept) ShowSettingsKept();
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
    }
}

void CZandrelDlg::StopSendTimer() {
    KillTimer(SEND_TIMER_ID);
    m_bSending = false;
}

bool CZandrelDlg::IsLoopChecked() {
    return GetDlgItem(IDC_LOOP)->SendMessage(BM_GETCHECK) == BST_CHECKED;
}
