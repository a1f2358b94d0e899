#include "platform/comm/dcb_rules.h"

namespace comm {

DWORD ValidateDcb(const DCB& dcb) {
    bool valid = dcb.BaudRate != 0 &&  // B0 would hang up the line
                 dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
                 dcb.Parity <= SPACEPARITY && dcb.StopBits <= TWOSTOPBITS &&
                 !(dcb.StopBits == ONE5STOPBITS && dcb.ByteSize != 5) &&
                 !(dcb.StopBits == TWOSTOPBITS && dcb.ByteSize == 5) &&
                 // Software handshake cannot tell XON from XOFF if they are one byte.
                 !((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar);
    return valid ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

}  // namespace comm
