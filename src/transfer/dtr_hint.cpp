// Many USB CDC firmwares (TinyUSB builds, the Pico SDK's USB stdio, ESP32-S3
// and STM32 sketches) send only while the host holds DTR on. A capture from
// such a device with DTR off gets nothing and looks like a dead line, so a
// quiet one is told, once, how to raise DTR.

#include "ui/zandrel_dlg.h"

#include <cstring>

namespace {

constexpr char CDC_ACM_NODE[] = "/dev/ttyACM";  // the nodes the kernel's cdc_acm driver makes

}  // namespace

void CZandrelDlg::StartDtrHint() {
    KillTimer(DTR_HINT_TIMER_ID);
    m_bCaptureReceived = false;
    // The hardware handshake drives DTR on.
    if (m_jobFlow.bDtrOn || m_jobFlow.nHandshake == CSerialPort::HandshakeHardware) return;
    char szNode[MAX_PATH];
    DWORD dwSession = 0;
    if (!GetCommTerminalSessionA(m_szJobDevice + DEVICE_PREFIX_LENGTH, szNode, sizeof szNode, &dwSession)) return;
    if (std::strncmp(szNode, CDC_ACM_NODE, sizeof CDC_ACM_NODE - 1) != 0) return;
    SetTimer(DTR_HINT_TIMER_ID, DTR_HINT_DELAY, nullptr);
}

void CZandrelDlg::OnDtrHintTimer() {
    KillTimer(DTR_HINT_TIMER_ID);
    if (m_eJob != JobCapture || !m_Port.IsOpen() || m_bCaptureReceived) return;
    const CString strHint = JobDevicePath() +
                            " has sent nothing; some USB devices send only while DTR is on: choose \"DTR on\" "
                            "under Modem Lines, or run with -t d";
    ShowStatus(FaultStatusText(strHint));
    AfxReportJobNotice(strHint);
}
