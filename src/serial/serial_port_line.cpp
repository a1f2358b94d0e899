// CSerialPort: what the line holds that it has not sent, why, and what it dropped.
#include "serial/serial_port.h"

LONG CSerialPort::GetUnsentCount(DWORD& dwUnsent) {
    dwUnsent = 0;
    if (const LONG nResult = BeginOperation()) return nResult;
    COMSTAT status{};
    DWORD dwErrors = 0;
    if (!ClearCommError(m_hComm, &dwErrors, &status)) return StoreLastError();
    dwUnsent = status.cbOutQue;
    return 0;
}

LONG CSerialPort::DrainAtClose() {
    if (const LONG nResult = BeginOperation()) return nResult;
    return FlushFileBuffers(m_hComm) ? 0 : StoreLastError();
}

LONG CSerialPort::GetLineHold(ELineHold& eHold) {
    eHold = HoldNone;
    if (const LONG nResult = BeginOperation()) return nResult;
    COMSTAT status{};
    DWORD dwErrors = 0;
    if (!ClearCommError(m_hComm, &dwErrors, &status)) return StoreLastError();
    // An XOFF is named first: it is what the far end said last, whatever the lines show.
    if (status.fXoffHold) eHold = HoldXoff;
    else if (status.fCtsHold) eHold = HoldCts;
    else if (status.fDsrHold) eHold = HoldDsr;
    return 0;
}

LONG CSerialPort::GetLostCount(ULONGLONG& nLost) {
    nLost = 0;
    if (const LONG nResult = BeginOperation()) return nResult;
    return GetCommLostCount(m_hComm, &nLost) ? 0 : StoreLastError();
}

LONG CSerialPort::GetProviderSubType(DWORD& dwSubType) {
    dwSubType = 0;
    if (const LONG nResult = BeginOperation()) return nResult;
    COMMPROP properties{};
    if (!GetCommProperties(m_hComm, &properties)) return StoreLastError();
    dwSubType = properties.dwProvSubType;
    return 0;
}
