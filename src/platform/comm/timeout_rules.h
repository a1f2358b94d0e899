// How COMMTIMEOUTS end reads and writes, by the Win32 rules.
#pragma once

#include <chrono>
#include <optional>

#include "platform/win32.h"

namespace comm {

using Clock = std::chrono::steady_clock;

// How COMMTIMEOUTS end one transfer. A read may have any of these; a write
// only a total.
struct TransferRule {
    bool atOnce = false;       // read MAXDWORD/0/0: return at once with what is there
    bool onFirstByte = false;  // read MAXDWORD/MAXDWORD/c: return as soon as anything is there
    std::optional<Clock::duration> total;     // from the start of the transfer
    std::optional<Clock::duration> interval;  // between two bytes read, once one has come
};

TransferRule ReadRuleFor(const COMMTIMEOUTS& timeouts, DWORD length);
TransferRule WriteRuleFor(const COMMTIMEOUTS& timeouts, DWORD length);

// All three read values MAXDWORD is refused, as by the Windows driver.
bool ValidTimeouts(const COMMTIMEOUTS& timeouts);

}  // namespace comm
