#include "platform/comm/dcb_rules.h"

namespace comm {

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
