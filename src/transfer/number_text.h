// Counts as people read them in a message: 1234567 as "1,234,567".
#pragma once

#include "platform/framework/afxwin.h"

CString GroupedNumber(ULONGLONG nValue);
