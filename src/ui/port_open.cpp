// Opening the port for a job. A port that cannot be opened is named in the
// status line with the Linux device and the reason, as the console run names
// it on standard error.

#include <string>

#include "platform/comm/comm_report.h"
#include "transfer/port_settings.h"
#include "ui/zandrel_dlg.h"

namespace {

constexpr DWORD QUEUE_SIZE = 2048;

CString OpenFailureText(const CString& strPort) {
    CommOpenReport report = GetLastCommOpenReport();
    std::string text = "Status:  Cannot open " + std::string(strPort);
    if (!report.linuxDevice.empty()) text += " (" + report.linuxDevice + ")";
    return CString((text + ": " + report.reason).c_str());
}

}  // namespace

bool CZandrelDlg::OpenPortFor(const CString& strPort) {
    char szDevice[DEVICE_NAME_SIZE];
    CString strFailure;
    // A port text too long for the device name fails like a port that cannot be opened.
    if (!FormatDeviceName(strPort, szDevice))
        strFailure = "Status:  Cannot open " + strPort + ": too long for a port name";
    else if (m_Port.Open(szDevice, this, 0, 0, QUEUE_SIZE, QUEUE_SIZE) != 0)
        strFailure = OpenFailureText(strPort);

    if (!strFailure.IsEmpty()) {
        SetDlgItemText(IDC_STATUS, strFailure);
        m_bOpenFailureShown = true;
        return false;
    }
    if (m_bOpenFailureShown) SetDlgItemText(IDC_STATUS, "");
    m_bOpenFailureShown = false;
    return true;
}
