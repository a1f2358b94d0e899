// Icon handles: an HICON is the address of its registered icon resource,
// shared and never released.
#pragma once

#include "platform/framework/afxres.h"

namespace afx {

HICON IconHandle(const IconResource* icon);
// The resource of a handle, or null when the handle is no registered icon.
const IconResource* IconOf(HICON icon);

}  // namespace afx
