// CSerialPort: what the line holds that it has not sent, and what it dropped.
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

LONG CSerialPort::GetLostCount(ULONGLONG& nLost) {
    nLost = 0;
    if (const LONG nResult = BeginOperation()) return nResult;
    return GetCommLostCount(m_hComm, &nLost) ? 0 : StoreLastError();
}
