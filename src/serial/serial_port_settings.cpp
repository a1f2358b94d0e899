// CSerialPort: line settings, handshaking, read time-outs, event mask and
// event character. Every setter reads the device's record, changes only its
// own fields and writes the whole record back.
#include "serial/serial_port.h"

namespace {

struct HandshakeFlags {
    DWORD fOutxCtsFlow;
    DWORD fOutxDsrFlow;
    DWORD fDtrControl;
    DWORD fRtsControl;
    DWORD fOutX;
    DWORD fInX;
};

// Indexed by EHandshake.
constexpr HandshakeFlags kHandshakeFlags[] = {
    {0, 0, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, 0, 0},
    {1, 1, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE, 0, 0},
    {0, 0, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, 1, 1},
    {1, 0, DTR_CONTROL_DISABLE, RTS_CONTROL_HANDSHAKE, 0, 0},
};

}  // namespace

LONG CSerialPort::LoadCommState(DCB& dcb) {
    if (const LONG nResult = BeginOperation()) return nResult;
    dcb = DCB{};
    dcb.DCBlength = sizeof(DCB);
    return GetCommState(m_hComm, &dcb) ? 0 : StoreLastError();
}

LONG CSerialPort::SaveCommState(DCB& dcb) {
    return SetCommState(m_hComm, &dcb) ? 0 : StoreLastError();
}

LONG CSerialPort::SetLineSettings(DWORD dwBaudRate, int nDataBits, int nParity, int nStopBits) {
    DCB dcb;
    if (const LONG nResult = LoadCommState(dcb)) return nResult;
    dcb.BaudRate = dwBaudRate;
    dcb.ByteSize = static_cast<BYTE>(nDataBits);
    dcb.Parity = static_cast<BYTE>(nParity);
    dcb.StopBits = static_cast<BYTE>(nStopBits);
    dcb.fParity = nParity != 0 ? 1 : 0;
    return SaveCommState(dcb);
}

LONG CSerialPort::SetEventChar(char cEventChar, bool fAdjustMask) {
    DCB dcb;
    if (const LONG nResult = LoadCommState(dcb)) return nResult;
    dcb.EvtChar = cEventChar;
    LONG nMaskResult = 0;
    if (fAdjustMask) nMaskResult = SetEventMask(GetEventMask() | EV_RXFLAG);
    if (const LONG nResult = SaveCommState(dcb)) return nResult;
    return StoreResult(nMaskResult);
}

LONG CSerialPort::SetEventMask(DWORD dwEventMask) {
    if (const LONG nResult = BeginOperation()) return nResult;
    return SetCommMask(m_hComm, dwEventMask) ? 0 : StoreLastError();
}

LONG CSerialPort::SetHandshake(int nHandshake) {
    DCB dcb;
    if (const LONG nResult = LoadCommState(dcb)) return nResult;
    if (nHandshake < HandshakeOff || nHandshake > HandshakeRtsCts) return StoreResult(E_INVALIDARG);
    const HandshakeFlags& flags = kHandshakeFlags[nHandshake];
    dcb.fOutxCtsFlow = flags.fOutxCtsFlow;
    dcb.fOutxDsrFlow = flags.fOutxDsrFlow;
    dcb.fDtrControl = flags.fDtrControl;
    dcb.fRtsControl = flags.fRtsControl;
    dcb.fOutX = flags.fOutX;
    dcb.fInX = flags.fInX;
    return SaveCommState(dcb);
}

LONG CSerialPort::SetModemLines(bool bDtrOn, bool bRtsOn) {
    DCB dcb;
    if (const LONG nResult = LoadCommState(dcb)) return nResult;
    if (dcb.fDtrControl != DTR_CONTROL_HANDSHAKE) dcb.fDtrControl = bDtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE) dcb.fRtsControl = bRtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    return SaveCommState(dcb);
}

LONG CSerialPort::SetReadTimeoutMode(int nReadTimeout) {
    if (const LONG nResult = BeginOperation()) return nResult;
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(m_hComm, &timeouts)) return StoreLastError();
    switch (nReadTimeout) {
    case ReadNonBlocking:
        timeouts.ReadIntervalTimeout = MAXDWORD;
        break;
    case ReadBlocking:
        timeouts.ReadIntervalTimeout = 0;
        break;
    default:
        return StoreResult(E_INVALIDARG);
    }
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    return SetCommTimeouts(m_hComm, &timeouts) ? 0 : StoreLastError();
}

DWORD CSerialPort::GetBaudRate() {
    DCB dcb;
    return LoadCommState(dcb) == 0 ? dcb.BaudRate : 0xFFFFFFFF;
}

int CSerialPort::GetDataBits() {
    DCB dcb;
    return LoadCommState(dcb) == 0 ? dcb.ByteSize : -1;
}

int CSerialPort::GetParity() {
    DCB dcb;
    if (LoadCommState(dcb) != 0) return -1;
    return dcb.fParity ? dcb.Parity : NOPARITY;
}

int CSerialPort::GetStopBits() {
    DCB dcb;
    return LoadCommState(dcb) == 0 ? dcb.StopBits : -1;
}

int CSerialPort::GetHandshake() {
    DCB dcb;
    if (LoadCommState(dcb) != 0) return -1;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        return HandshakeHardware;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE && dcb.fOutxCtsFlow) return HandshakeRtsCts;
    if (dcb.fOutX && dcb.fInX) return HandshakeSoftware;
    return HandshakeOff;
}

DWORD CSerialPort::GetEventMask() {
    if (BeginOperation() != 0) return 0;
    DWORD dwMask = 0;
    if (!GetCommMask(m_hComm, &dwMask)) {
        StoreLastError();
        return 0;
    }
    return dwMask;
}

char CSerialPort::GetEventChar() {
    DCB dcb;
    return LoadCommState(dcb) == 0 ? dcb.EvtChar : 0;
}
