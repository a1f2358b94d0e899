// CSerialPort: received data with the times it arrived.
#include "serial/serial_port.h"

LONG CSerialPort::SetArrivalTimes(bool bKeep) {
    if (LONG nResult = BeginOperation(); nResult != 0) return nResult;
    if (!SetCommArrivalTimes(m_hComm, bKeep ? TRUE : FALSE)) return StoreLastError();
    return 0;
}

LONG CSerialPort::GetErrorCounts(ULONGLONG& nFraming, ULONGLONG& nParity) {
    if (LONG nResult = BeginOperation(); nResult != 0) return nResult;
    if (!GetCommErrorCounts(m_hComm, &nFraming, &nParity)) return StoreLastError();
    return 0;
}

LONG CSerialPort::ReadArrivals(void* pData, DWORD iLen, DWORD* pdwRead, COMMARRIVAL* pArrivals, DWORD nMaxArrivals,
                               DWORD* pdwArrivals) {
    *pdwRead = 0;
    *pdwArrivals = 0;
    if (LONG nResult = BeginOperation(); nResult != 0) return nResult;
    if (!ReadCommArrivals(m_hComm, pData, iLen, pdwRead, pArrivals, nMaxArrivals, pdwArrivals)) return StoreLastError();
    return 0;
}
