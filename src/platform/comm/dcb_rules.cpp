#include "platform/comm/dcb_rules.h"

namespace comm {

DCB DefaultDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 9600;
    dcb.fBinary = 1;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    return dcb;
}

unsigned InvalidParts(const DCB& dcb) {
    unsigned parts = 0;
    if (dcb.BaudRate == 0) parts |= kPartBaud;  // B0 would hang up the line
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8) parts |= kPartDataBits;
    if (dcb.Parity > SPACEPARITY) parts |= kPartParity;
    if (dcb.StopBits > TWOSTOPBITS || (dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5) ||
        (dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5))
        parts |= kPartStopBits;
    // Software handshake cannot tell XON from XOFF if they are one byte.
    if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) parts |= kPartOther;
    return parts;
}

DWORD ValidateDcb(const DCB& dcb) { return InvalidParts(dcb) == 0 ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER; }

}  // namespace comm
