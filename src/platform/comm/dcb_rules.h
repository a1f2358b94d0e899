// What a DCB may ask of the line, checked before anything reaches the device.
#pragma once

#include "platform/win32.h"

namespace comm {

// Parts of the line's settings, as bits, to say which were refused.
enum LinePart : unsigned {
    kPartBaud = 1,
    kPartDataBits = 2,
    kPartParity = 4,
    kPartStopBits = 8,
    kPartOther = 16,  // handshake or its characters
    kPartRtsCts = 32,
};

// RTS/CTS handshake (CRTSCTS): CTS holds output, or RTS tells the far end to wait.
inline bool UsesRtsCts(const DCB& dcb) { return dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE; }

// 9600 8N1 with no handshake, DTR and RTS on, and the Windows driver's
// XON/XOFF characters and limits: what a line that says nothing runs.
DCB DefaultDcb();

// The parts that the Windows serial driver also refuses, 0 when none.
unsigned InvalidParts(const DCB& dcb);

// ERROR_SUCCESS, or ERROR_INVALID_PARAMETER when InvalidParts finds any.
DWORD ValidateDcb(const DCB& dcb);

}  // namespace comm
