// What a DCB may ask of the line, checked before anything reaches the device.
#pragma once

#include "platform/win32.h"

namespace comm {

// ERROR_SUCCESS, or ERROR_INVALID_PARAMETER for settings the Windows serial
// driver also refuses.
DWORD ValidateDcb(const DCB& dcb);

}  // namespace comm
