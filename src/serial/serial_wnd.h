// A serial port that watches its own device: while open, a worker thread keeps
// a wait for port events pending and posts each event, with the line-error bits
// of that moment, to a window. The receiver reads the data itself.
#pragma once

#include "platform/framework/afxwin.h"
#include "serial/serial_port.h"

class CSerialWnd : public CSerialPort {
public:
    static const UINT s_nDefaultComMsg;  // "CSerialWnd_DefaultComMsg"
    // Posted once when the device goes away (a USB adapter pulled, the far end
    // of a pty closed): wParam ERROR_DEVICE_NOT_CONNECTED, lParam the caller's value.
    // The worker has ended then; the port is still open until closed.
    static const UINT s_nDisconnectMsg;  // "CSerialWnd_DisconnectMsg"

    CSerialWnd();
    ~CSerialWnd() override;

    using CSerialPort::Open;
    LONG Close() override;
    virtual LONG Open(const char* pszDevice, HWND hwndDest, UINT nComMsg, LPARAM lParam, DWORD dwInQueue,
                      DWORD dwOutQueue);

protected:
    virtual DWORD WatchPortEvents();
    static DWORD WatchThreadEntry(LPVOID lpArg);

    HANDLE m_hThread;
    HANDLE m_hStopEvent;
    HANDLE m_hWaitEvent;
    HWND m_hWndNotify;
    UINT m_nNotifyMsg;
    LPARAM m_lNotifyParam;

private:
    // After a failed creation in Open: releases what was made, closes the
    // device and returns the platform's code, also stored.
    LONG AbandonOpen();
    void ReleaseWatch();  // closes the events and the thread handle, clears the destination
};

class CSerialDialogPort : public CSerialWnd {
public:
    // Joins the worker before this object's type starts to unwind, so the
    // worker's virtual calls never meet a half-destroyed object.
    ~CSerialDialogPort() override;

    using CSerialWnd::Open;
    virtual LONG Open(const char* pszDevice, CWnd* pWndDest, UINT nComMsg, LPARAM lParam, DWORD dwInQueue,
                      DWORD dwOutQueue);
};
