// How COMMTIMEOUTS end reads and writes, by the Win32 rules.
#pragma once

#include <chrono>
#include <optional>

#include "platform/win32.h"

namespace comm {

using Clock = std::chrono::steady_clock;

struct ReadRule {
    bool atOnce = false;       // MAXDWORD/0/0: return at once with what is there
    bool onFirstByte = false;  // MAXDWORD/MAXDWORD/c: return as soon as anything is there
    std::optional<Clock::duration> total;     // from the start of the read
    std::optional<Clock::duration> interval;  // between two bytes, once one has come
};

ReadRule ReadRuleFor(const COMMTIMEOUTS& timeouts, DWORD length);

// The time a write may take, or none for no limit.
std::optional<Clock::duration> WriteLimitFor(const COMMTIMEOUTS& timeouts, DWORD length);

// All three read values MAXDWORD is refused, as by the Windows driver.
bool ValidTimeouts(const COMMTIMEOUTS& timeouts);

}  // namespace comm
