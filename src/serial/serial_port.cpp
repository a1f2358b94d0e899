// CSerialPort: state, the last-error frame, opening and closing the device.
#include "serial/serial_port.h"

CSerialPort::CSerialPort()
    : m_nLastError(0), m_hComm(nullptr), m_dwEventType(0xFFFFFFFF), m_hOverlappedEvent(nullptr) {}

CSerialPort::~CSerialPort() {
    // Only this class's own Close: a derived object has already been taken apart.
    if (m_hComm != nullptr) CSerialPort::Close();
}

LONG CSerialPort::Open(const char* pszDevice, DWORD dwInQueue, DWORD dwOutQueue) {
    m_nLastError = 0;
    if (m_hComm != nullptr) return StoreResult(ERROR_ALREADY_INITIALIZED);

    HANDLE hComm = CreateFileA(pszDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    if (hComm == INVALID_HANDLE_VALUE) {
        m_hComm = nullptr;
        return StoreLastError();
    }
    m_hComm = hComm;

    m_hOverlappedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_hOverlappedEvent == nullptr) {
        const LONG nResult = StoreLastError();
        CloseHandle(m_hComm);
        m_hComm = nullptr;
        return nResult;
    }

    if (!SetupComm(m_hComm, dwInQueue, dwOutQueue)) {
        const LONG nResult = static_cast<LONG>(::GetLastError());
        Close();  // through the table: a derived port releases its own part too
        return StoreResult(nResult);
    }

    // Each default clears the last error first, so only the last one's outcome is reported.
    SetEventMask(EV_RXCHAR | EV_BREAK | EV_ERR);
    SetLineSettings(9600, 8, NOPARITY, ONESTOPBIT);
    SetReadTimeoutMode(ReadNonBlocking);
    return SetHandshake(HandshakeOff);
}

LONG CSerialPort::Close() {
    m_nLastError = 0;
    if (m_hComm == nullptr) return 0;
    CloseHandle(m_hOverlappedEvent);
    m_hOverlappedEvent = nullptr;
    CloseHandle(m_hComm);
    m_hComm = nullptr;
    return 0;
}

LONG CSerialPort::BeginOperation() {
    m_nLastError = 0;
    return m_hComm == nullptr ? StoreResult(ERROR_INVALID_HANDLE) : 0;
}

LONG CSerialPort::StoreResult(LONG nResult) {
    m_nLastError = nResult;
    return nResult;
}

LONG CSerialPort::StoreLastError() {
    return StoreResult(static_cast<LONG>(::GetLastError()));
}
