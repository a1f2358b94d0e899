// Opening and setting up the port a job asks for in the dialog's Port Details.

#include "transfer/port_settings.h"
#include "ui/zandrel_dlg.h"

namespace {

constexpr DWORD QUEUE_SIZE = 2048;

}  // namespace

bool CZandrelDlg::OpenJobPort() {
    CString strPort;
    GetDlgItemText(IDC_COM_PORT, strPort);
    char szDevice[DEVICE_NAME_SIZE];
    if (!FormatDeviceName(strPort, szDevice)) {
        // Refused, never cut: a shortened name could open another device.
        CString strFault;
        strFault.Format("cannot open %s: a port name is at most %d characters", static_cast<const char*>(strPort),
                        MAX_PORT_TEXT_LENGTH);
        TellJobFault(strFault);
        return false;
    }
    return m_Port.Open(szDevice, this, 0, 0, QUEUE_SIZE, QUEUE_SIZE) == 0;
}

void CZandrelDlg::ConfigureJobPort() {
    CString strBaud, strDataBits, strParity, strStopBits;
    GetDlgItemText(IDC_BAUD, strBaud);
    GetDlgItemText(IDC_DATA_BITS, strDataBits);
    GetDlgItemText(IDC_PARITY, strParity);
    GetDlgItemText(IDC_STOP_BITS, strStopBits);
    LineSettings settings = ConvertLineSettings(strBaud, strDataBits, strParity, strStopBits);
    m_Port.SetLineSettings(settings.dwBaudRate, settings.nDataBits, settings.nParity, settings.nStopBits);
    m_Port.SetReadTimeoutMode(CSerialPort::ReadNonBlocking);
}
