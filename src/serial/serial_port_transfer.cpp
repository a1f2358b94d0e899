// CSerialPort: writes, reads and waits for port events, each either
// synchronous (the call's own record on m_hOverlappedEvent, bounded by a
// time-out) or asynchronous (the caller's record, returning at once).
#include <cstring>

#include "serial/serial_port.h"

template <class StartCall>
LONG CSerialPort::RunOverlapped(StartCall start, LPDWORD pdwCount, LPOVERLAPPED lpOverlapped, DWORD dwTimeout) {
    if (m_hComm == nullptr) return StoreResult(ERROR_INVALID_HANDLE);

    OVERLAPPED own{};
    own.hEvent = m_hOverlappedEvent;
    LPOVERLAPPED record = lpOverlapped != nullptr ? lpOverlapped : &own;

    if (start(record)) {
        // Completed at once: signal as a later completion would, so callers wait the same way.
        SetEvent(record->hEvent);
        return 0;
    }
    const DWORD dwError = ::GetLastError();
    if (dwError != ERROR_IO_PENDING) return StoreResult(static_cast<LONG>(dwError));
    if (lpOverlapped != nullptr) return 0;

    switch (WaitForSingleObject(own.hEvent, dwTimeout)) {
    case WAIT_OBJECT_0:
        // An event wait has its bits in m_dwEventType already.
        if (pdwCount != nullptr && !GetOverlappedResult(m_hComm, &own, pdwCount, FALSE)) return StoreLastError();
        return 0;
    case WAIT_TIMEOUT: {
        // CancelIo returns only once the cancelled operation can no longer
        // write into `own`, so it may go out of scope after this.
        CancelIo(m_hComm);
        // It may have completed between the time-out and the cancel: report
        // that completion rather than drop what it transferred.
        DWORD dwDone = 0;
        if (!GetOverlappedResult(m_hComm, &own, &dwDone, FALSE)) return StoreResult(static_cast<LONG>(ERROR_TIMEOUT));
        if (pdwCount != nullptr) *pdwCount = dwDone;
        return 0;
    }
    default:
        return StoreLastError();
    }
}

template <class StartCall>
LONG CSerialPort::Transfer(StartCall start, LPDWORD pdwCount, LPOVERLAPPED lpOverlapped, DWORD dwTimeout) {
    m_nLastError = 0;
    DWORD dwOwnCount;
    if (pdwCount == nullptr) pdwCount = &dwOwnCount;
    *pdwCount = 0;
    return RunOverlapped([&](LPOVERLAPPED record) { return start(pdwCount, record); }, pdwCount, lpOverlapped,
                         dwTimeout);
}

LONG CSerialPort::Write(const void* pData, DWORD iLen, DWORD* pdwWritten, LPOVERLAPPED lpOverlapped,
                        DWORD dwTimeout) {
    return Transfer([&](LPDWORD pdwCount, LPOVERLAPPED record) {
        return WriteFile(m_hComm, pData, iLen, pdwCount, record);
    }, pdwWritten, lpOverlapped, dwTimeout);
}

LONG CSerialPort::Read(void* pData, DWORD iLen, DWORD* pdwRead, LPOVERLAPPED lpOverlapped, DWORD dwTimeout) {
    return Transfer([&](LPDWORD pdwCount, LPOVERLAPPED record) {
        return ReadFile(m_hComm, pData, iLen, pdwCount, record);
    }, pdwRead, lpOverlapped, dwTimeout);
}

LONG CSerialPort::WriteString(const char* pszString, DWORD* pdwWritten, LPOVERLAPPED lpOverlapped,
                              DWORD dwTimeout) {
    return Write(pszString, static_cast<DWORD>(std::strlen(pszString)), pdwWritten, lpOverlapped, dwTimeout);
}

LONG CSerialPort::WaitForEvent(LPOVERLAPPED lpOverlapped, DWORD dwTimeout) {
    m_nLastError = 0;
    return RunOverlapped([&](LPOVERLAPPED record) { return WaitCommEvent(m_hComm, &m_dwEventType, record); },
                         nullptr, lpOverlapped, dwTimeout);
}

DWORD CSerialPort::TakeEventType() {
    const DWORD dwEventType = m_dwEventType;
    m_dwEventType = 0xFFFFFFFF;
    return dwEventType;
}
