// A replay's step: a data record of a capture's _time companion.
#pragma once

#include "platform/win32.h"

struct ReplayRecord {
    ULONGLONG nOffset;
    ULONGLONG nBytes;
    long long nMicros;  // after the first record's first byte
};
