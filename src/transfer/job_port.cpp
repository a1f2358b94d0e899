// Opening and setting up the port a job asks for in the dialog's Port Details.

#include "ui/devices_present.h"
#include "ui/port_settings.h"
#include "ui/zandrel_dlg.h"

namespace {

constexpr DWORD QUEUE_SIZE = 2048;

// The variable a COMn port text could be mapped with but is not ("ZANDREL_COM3"); empty for any other text.
CString UnmappedVariable(const char* pszPort) {
    char szVariable[64];
    BOOL bSet = FALSE;
    if (!GetCommDeviceVariableA(pszPort, szVariable, sizeof szVariable, &bSet) || bSet) return "";
    return szVariable;
}

}  // namespace

// A port that cannot be opened is told as "cannot open COM2 (/dev/ttyS1): No
// such file or directory": in the status line until the next job or Stop, and
// on the console. A COMn left to its default device also names the devices
// there are and the variable that would open one.
bool CZandrelDlg::OpenJobPort() {
    CString strPort;
    GetDlgItemText(IDC_COM_PORT, strPort);
    CString strWhy;
    if (!FormatDeviceName(strPort, m_szJobDevice)) {
        // Refused, never cut: a shortened name could open another device.
        strWhy.Format("a port name is at most %d characters", MAX_PORT_TEXT_LENGTH);
    } else if (OpenJobDevice()) {
        // Which device this is, so that only it is taken up again after it was away.
        m_strJobDeviceKey.Empty();
        m_strJobDeviceText.Empty();
        ReadJobDeviceIdentity(m_strJobDeviceKey, m_strJobDeviceText);
        return true;
    } else if (GetLastError() == ERROR_OPERATION_ABORTED) {
        return false;  // Stop, the close box or a signal ended the wait for a port server: nothing failed
    } else {
        strWhy = LastErrorWords();
        strPort = AfxVisibleText(strPort);
        const CString strDevice = JobDevicePath();
        if (strDevice != strPort) strPort += " (" + strDevice + ")";
        const CString strVariable = UnmappedVariable(m_szJobDevice + DEVICE_PREFIX_LENGTH);
        if (!strVariable.IsEmpty()) strWhy += "; " + DevicesHint(strVariable, strDevice);
    }
    TellJobFault("cannot open " + strPort + ": " + strWhy);
    m_bOpenFailureShown = true;
    return false;
}

// An open that fails half-way (a setting refused after the device opened:
// a server restarting, an adapter dropping out) leaves the port open, as
// the port's Open promises; it is closed here, or every later try would find
// it open already and a tty's lock held. What is told is the failure that
// open met, its words only if they are that failure's.
bool CZandrelDlg::OpenJobDevice() {
    const LONG nResult = m_Port.Open(m_szJobDevice, this, 0, 0, QUEUE_SIZE, QUEUE_SIZE);
    if (nResult != 0) {
        const DWORD dwError = static_cast<DWORD>(nResult);
        const CString strWhy = GetLastError() == dwError ? CString(GetLastErrorText()) : CString();
        m_Port.Close();
        SetLastErrorText(dwError, strWhy);
        return false;
    }
    RememberJobPty();
    OnPortTextChanged();  // the tip names what the open learnt: a port server's own name
    if (m_bOpenFailureShown) ShowStatus("");
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
    CString strFlowControl, strModemLines;
    GetDlgItemText(IDC_FLOW_CONTROL, strFlowControl);
    GetDlgItemText(IDC_MODEM_LINES, strModemLines);
    m_jobFlow = ConvertFlowSettings(strFlowControl, strModemLines);
    return ApplyJobSettings();
}

bool CZandrelDlg::ApplyJobSettings() {
    // Each refusal is read as it happens: the next setting the port takes clears it. The first one is told;
    // a port server's answer that Stop or a signal stopped waiting for refused nothing.
    m_strSettingsRefusal.Empty();
    auto taken = [&](LONG nResult) {
        const bool bRefused = nResult != 0 && static_cast<DWORD>(nResult) != ERROR_OPERATION_ABORTED;
        if (bRefused && m_strSettingsRefusal.IsEmpty()) m_strSettingsRefusal = GetLastErrorText();
        return nResult == 0;
    };
    bool bTaken = taken(m_Port.SetLineSettings(m_jobSettings.dwBaudRate, m_jobSettings.nDataBits,
                                               m_jobSettings.nParity, m_jobSettings.nStopBits));
    m_Port.SetReadTimeoutMode(CSerialPort::ReadNonBlocking);
    // Both jobs, and again after a re-plug: the open leaves none, with DTR and RTS off.
    bTaken = taken(m_Port.SetHandshake(m_jobFlow.nHandshake)) && bTaken;
    bTaken = taken(m_Port.SetModemLines(m_jobFlow.bDtrOn, m_jobFlow.bRtsOn)) && bTaken;
    // A capture's arrival times, again after a re-plug: each open starts without them.
    if (m_eJob == JobCapture && m_bArrivalTimes) m_Port.SetArrivalTimes(true);
    return bTaken;
}

CString LastErrorWords() {
    CString strWhy = GetLastErrorText();
    if (strWhy.IsEmpty()) strWhy.Format("error %lu", static_cast<unsigned long>(GetLastError()));
    return strWhy;
}

CString CZandrelDlg::JobDevicePath() const {
    char szPath[MAX_PATH];
    const char* pszPort = m_szJobDevice + DEVICE_PREFIX_LENGTH;
    return AfxVisibleText(QueryDosDeviceA(pszPort, szPath, sizeof szPath) != 0 ? szPath : pszPort);
}
