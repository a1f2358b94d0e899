// A serial port over one overlapped communications handle: open, configure,
// query, read, write and wait for port events. Every operation reports its
// outcome as a Win32 error code, also kept in m_nLastError.
#pragma once

#include <atomic>

#include "platform/win32.h"

class CSerialPort {
public:
    // Hardware gates output on CTS and DSR both; RtsCts on CTS alone, which a
    // cable without DSR (most TTL and many RTS/CTS cables) needs to send at all.
    enum EHandshake { HandshakeOff = 0, HandshakeHardware = 1, HandshakeSoftware = 2, HandshakeRtsCts = 3 };
    enum EReadTimeout { ReadNonBlocking = 0, ReadBlocking = 1 };

    CSerialPort();
    virtual ~CSerialPort();

    virtual LONG Open(const char* pszDevice, DWORD dwInQueue, DWORD dwOutQueue);
    virtual LONG Close();
    virtual LONG SetLineSettings(DWORD dwBaudRate, int nDataBits, int nParity, int nStopBits);
    virtual LONG SetEventChar(char cEventChar, bool fAdjustMask);
    virtual LONG SetEventMask(DWORD dwEventMask);
    virtual LONG WaitForEvent(LPOVERLAPPED lpOverlapped, DWORD dwTimeout);
    virtual LONG SetHandshake(int nHandshake);
    virtual LONG SetReadTimeoutMode(int nReadTimeout);
    virtual DWORD GetBaudRate();
    virtual int GetDataBits();
    virtual int GetParity();
    virtual int GetStopBits();
    virtual int GetHandshake();
    virtual DWORD GetEventMask();
    virtual char GetEventChar();
    virtual LONG WriteString(const char* pszString, DWORD* pdwWritten, LPOVERLAPPED lpOverlapped, DWORD dwTimeout);
    virtual LONG Write(const void* pData, DWORD iLen, DWORD* pdwWritten, LPOVERLAPPED lpOverlapped, DWORD dwTimeout);
    virtual LONG Read(void* pData, DWORD iLen, DWORD* pdwRead, LPOVERLAPPED lpOverlapped, DWORD dwTimeout);

    // The bytes written that the line has not sent yet (it clears the line's
    // error bits, as ClearCommError does).
    LONG GetUnsentCount(DWORD& dwUnsent);
    // The port's close lets the line send what it holds before the settings
    // are put back (FlushFileBuffers); a later purge of the output cancels it.
    LONG DrainAtClose();
    // Holds DTR and RTS on (true) or off where the handshake mode does not
    // drive them; a line the mode drives keeps its handshake.
    LONG SetModemLines(bool bDtrOn, bool bRtsOn);
    // Why the line holds its output now, as its driver reports it.
    enum ELineHold { HoldNone, HoldXoff, HoldCts, HoldDsr };
    LONG GetLineHold(ELineHold& eHold);
    // The received bytes the line dropped since the open; ERROR_NOT_SUPPORTED
    // where its driver keeps no count.
    LONG GetLostCount(ULONGLONG& nLost);
    // The kind of port (PST_RS232; PST_TCPIP_TELNET: a port server across the network).
    LONG GetProviderSubType(DWORD& dwSubType);
    // Arrival times: while kept, ReadArrivals reads what has arrived without
    // waiting, with when each piece of it was read from the line.
    LONG SetArrivalTimes(bool bKeep);
    // The driver's running counts of characters received with a framing or a parity error.
    LONG GetErrorCounts(ULONGLONG& nFraming, ULONGLONG& nParity);
    LONG ReadArrivals(void* pData, DWORD iLen, DWORD* pdwRead, COMMARRIVAL* pArrivals, DWORD nMaxArrivals,
                      DWORD* pdwArrivals);

    bool IsOpen() const { return m_hComm != nullptr; }
    DWORD TakeEventType();
    LONG GetLastError() const { return m_nLastError; }

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

protected:
    // Written by the user-interface thread and by the notifying port's worker.
    std::atomic<LONG> m_nLastError;
    HANDLE m_hComm;
    DWORD m_dwEventType;
    HANDLE m_hOverlappedEvent;

private:
    // The start of every operation but Open and Close: clears the last error,
    // then 0 when the port is open, else ERROR_INVALID_HANDLE (stored).
    LONG BeginOperation();
    LONG StoreResult(LONG nResult);
    LONG StoreLastError();  // the calling thread's GetLastError, stored
    LONG LoadCommState(DCB& dcb);
    LONG SaveCommState(DCB& dcb);

    // Starts an overlapped operation and finishes it as the caller asked:
    // at once with the caller's record, or waiting up to dwTimeout with one of
    // the call's own. pdwCount is null for event waits.
    template <class StartCall>
    LONG RunOverlapped(StartCall start, LPDWORD pdwCount, LPOVERLAPPED lpOverlapped, DWORD dwTimeout);
    template <class StartCall>
    LONG Transfer(StartCall start, LPDWORD pdwCount, LPOVERLAPPED lpOverlapped, DWORD dwTimeout);
};
