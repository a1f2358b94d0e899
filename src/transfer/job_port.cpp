// Opening and setting up the port a job asks for in the dialog's Port Details.

#include <string>

#include "platform/comm/comm_report.h"
#include "transfer/port_settings.h"
#include "ui/zandrel_dlg.h"

namespace {

constexpr DWORD QUEUE_SIZE = 2048;

// "Status:  Cannot open COM2 (/dev/ttyS1): No such file or directory", as the
// console run names a port it could not open on standard error.
CString OpenFailureText(const CString& strPort) {
    CommOpenReport report = GetLastCommOpenReport();
    std::string text = "Status:  Cannot open " + std::string(strPort);
    if (!report.linuxDevice.empty()) text += " (" + report.linuxDevice + ")";
    return CString((text + ": " + report.reason).c_str());
}

}  // namespace

bool CZandrelDlg::OpenJobPort() {
    CString strPort;
    GetDlgItemText(IDC_COM_PORT, strPort);
    if (!FormatDeviceName(strPort, m_szJobDevice)) {
        // Refused, never cut: a shortened name could open another device.
        CString strFault;
        strFault.Format("cannot open %s: a port name is at most %d characters", static_cast<const char*>(strPort),
                        MAX_PORT_TEXT_LENGTH);
        TellJobFault(strFault);
        m_bOpenFailureShown = true;
        return false;
    }
    if (OpenJobDevice()) return true;
    SetDlgItemText(IDC_STATUS, OpenFailureText(strPort));
    m_bOpenFailureShown = true;
    return false;
}

bool CZandrelDlg::OpenJobDevice() {
    if (m_Port.Open(m_szJobDevice, this, 0, 0, QUEUE_SIZE, QUEUE_SIZE) != 0) return false;
    if (m_bOpenFailureShown) SetDlgItemText(IDC_STATUS, "");
    m_bOpenFailureShown = false;
    return true;
}

bool CZandrelDlg::ConfigureJobPort() {
    CString strBaud, strDataBits, strParity, strStopBits;
    GetDlgItemText(IDC_BAUD, strBaud);
    GetDlgItemText(IDC_DATA_BITS, strDataBits);
    GetDlgItemText(IDC_PARITY, strParity);
    GetDlgItemText(IDC_STOP_BITS, strStopBits);
    m_jobSettings = ConvertLineSettings(strBaud, strDataBits, strParity, strStopBits);
    return ApplyJobSettings();
}

bool CZandrelDlg::ApplyJobSettings() {
    const bool bTaken = m_Port.SetLineSettings(m_jobSettings.dwBaudRate, m_jobSettings.nDataBits,
                                               m_jobSettings.nParity, m_jobSettings.nStopBits) == 0;
    // Read now: the next setting the port takes clears it.
    m_strSettingsRefusal = bTaken ? "" : GetLastCommSettingsRefusal().c_str();
    m_Port.SetReadTimeoutMode(CSerialPort::ReadNonBlocking);
    if (m_eJob == JobCapture) m_Port.SetHandshake(CSerialPort::HandshakeOff);
    return bTaken;
}

CString CZandrelDlg::JobDevicePath() const {
    char szPath[MAX_PATH];
    const char* pszPort = m_szJobDevice + DEVICE_PREFIX_LENGTH;
    return QueryDosDeviceA(pszPort, szPath, sizeof szPath) != 0 ? CString(szPath) : CString(pszPort);
}
