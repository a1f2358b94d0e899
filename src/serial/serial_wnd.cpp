// CSerialWnd and CSerialDialogPort: the port's worker thread, which keeps one
// event wait pending and posts every completed wait with event bits to a window.
#include "serial/serial_wnd.h"

#include <algorithm>

const UINT CSerialWnd::s_nDefaultComMsg = RegisterWindowMessageA("CSerialWnd_DefaultComMsg");
const UINT CSerialWnd::s_nDisconnectMsg = RegisterWindowMessageA("CSerialWnd_DisconnectMsg");

namespace {

// After telling the window of data that came soon after the last, the worker
// lets the line run a while before it waits again: what arrives meanwhile is
// told in one message, as a UART's driver hands over a FIFO's worth at a time.
// The gather starts short and doubles with each one of a stream, up to the
// longest: a stream then costs the window one read and one pass per 16 ms
// rather than per few bytes, and is on its way to the window at most that
// much later. Data after a line quiet for RECEIVE_QUIET_MS is told at once,
// the worker waits again at once, and the next stream's gather starts short.
constexpr DWORD RECEIVE_GATHER_MS = 4;
constexpr DWORD RECEIVE_GATHER_MAX_MS = 16;
constexpr DWORD RECEIVE_QUIET_MS = RECEIVE_GATHER_MAX_MS;

}  // namespace

CSerialWnd::CSerialWnd()
    : m_hThread(nullptr),
      m_hStopEvent(nullptr),
      m_hWaitEvent(nullptr),
      m_hWndNotify(nullptr),
      m_nNotifyMsg(0),
      m_lNotifyParam(0) {}

CSerialWnd::~CSerialWnd() {
    if (m_hThread != nullptr) CSerialWnd::Close();
}

LONG CSerialWnd::Open(const char* pszDevice, HWND hwndDest, UINT nComMsg, LPARAM lParam, DWORD dwInQueue,
                      DWORD dwOutQueue) {
    const LONG nResult = CSerialPort::Open(pszDevice, dwInQueue, dwOutQueue);
    if (nResult != 0) return nResult;

    m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hWaitEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_hStopEvent == nullptr || m_hWaitEvent == nullptr) return AbandonOpen();

    DWORD dwThreadId;
    m_hThread = CreateThread(nullptr, 0, WatchThreadEntry, this, CREATE_SUSPENDED, &dwThreadId);
    if (m_hThread == nullptr) return AbandonOpen();

    // Set while the worker is still suspended: it reads them without a lock.
    m_hWndNotify = hwndDest;
    m_nNotifyMsg = nComMsg != 0 ? nComMsg : s_nDefaultComMsg;
    m_lNotifyParam = lParam;
    ResumeThread(m_hThread);
    return nResult;
}

LONG CSerialWnd::Close() {
    if (m_hThread != nullptr) {
        SetEvent(m_hStopEvent);
        WaitForSingleObject(m_hThread, INFINITE);
    }
    ReleaseWatch();
    return CSerialPort::Close();
}

LONG CSerialWnd::AbandonOpen() {
    const LONG nError = static_cast<LONG>(::GetLastError());
    ReleaseWatch();
    CSerialPort::Close();
    m_nLastError = nError;
    return nError;
}

void CSerialWnd::ReleaseWatch() {
    for (HANDLE* pHandle : {&m_hStopEvent, &m_hWaitEvent, &m_hThread}) {
        if (*pHandle != nullptr) CloseHandle(*pHandle);
        *pHandle = nullptr;
    }
    m_hWndNotify = nullptr;
    m_nNotifyMsg = 0;
    m_lNotifyParam = 0;
}

DWORD CSerialWnd::WatchThreadEntry(LPVOID lpArg) {
    return static_cast<CSerialWnd*>(lpArg)->WatchPortEvents();
}

DWORD CSerialWnd::WatchPortEvents() {
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_hWaitEvent;
    const HANDLE handles[2] = {m_hStopEvent, m_hWaitEvent};

    DWORD dwLastToldData = GetTickCount() - RECEIVE_QUIET_MS;
    DWORD dwGather = 0;  // the last gather of the stream under way; 0 after a quiet line
    for (;;) {
        const DWORD dwWaitStarted = GetTickCount();
        const LONG nStarted = WaitForEvent(&overlapped, INFINITE);
        if (nStarted == ERROR_DEVICE_NOT_CONNECTED)
            PostMessageA(m_hWndNotify, s_nDisconnectMsg, static_cast<WPARAM>(nStarted), m_lNotifyParam);
        if (nStarted != 0) return static_cast<DWORD>(nStarted);

        // The stop event has the lower index, so it wins over a completed wait.
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            // End the pending wait while `overlapped` still exists: CancelIo
            // returns only once the device can no longer write into it.
            CancelIo(m_hComm);
            return 0;
        }

        const DWORD dwEvents = TakeEventType();
        DWORD dwErrors = 0;
        if (!ClearCommError(m_hComm, &dwErrors, nullptr)) {
            m_nLastError = static_cast<LONG>(::GetLastError());
            dwErrors = 0;
        }
        // A wait ended by a change of the event mask reports no bits: nothing to tell.
        if (dwEvents != 0)
            PostMessageA(m_hWndNotify, m_nNotifyMsg, MAKEWPARAM(LOWORD(dwEvents), LOWORD(dwErrors)), m_lNotifyParam);
        if ((dwEvents & EV_RXCHAR) == 0) continue;
        // Data that was waiting when the wait began, or came soon after the
        // last data told, is a stream. Measured from the wait's start alone,
        // a line whose packets come a little more than a gather apart would
        // gather every packet once it had gathered one.
        const DWORD dwNow = GetTickCount();
        const bool bStream = dwNow == dwWaitStarted || dwNow - dwLastToldData < RECEIVE_QUIET_MS;
        dwLastToldData = dwNow;
        dwGather = !bStream ? 0 : dwGather == 0 ? RECEIVE_GATHER_MS : std::min(2 * dwGather, RECEIVE_GATHER_MAX_MS);
        if (dwGather != 0 && WaitForSingleObject(m_hStopEvent, dwGather) == WAIT_OBJECT_0) return 0;
    }
}

CSerialDialogPort::~CSerialDialogPort() {
    if (m_hThread != nullptr) CSerialWnd::Close();
}

LONG CSerialDialogPort::Open(const char* pszDevice, CWnd* pWndDest, UINT nComMsg, LPARAM lParam, DWORD dwInQueue,
                             DWORD dwOutQueue) {
    const HWND hwndDest = pWndDest != nullptr ? pWndDest->m_hWnd : nullptr;
    return CSerialWnd::Open(pszDevice, hwndDest, nComMsg, lParam, dwInQueue, dwOutQueue);
}
