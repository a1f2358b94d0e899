// Window timers. Ticks are scheduled from the intended time (next = previous
// due time + period), so they never drift; a tick that is late is delivered
// once and the missed ones are dropped, as Windows coalesces WM_TIMER.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/win32.h"

namespace afx {

using TimerProc = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct DueTimer {
    HWND window;
    UINT_PTR id;
    TimerProc proc;
};

// Sets or replaces the timer (window, id); the first tick is one period from now.
void SetWindowTimer(HWND window, UINT_PTR id, UINT period, TimerProc proc, std::uint64_t now);
bool KillWindowTimer(HWND window, UINT_PTR id);
void KillWindowTimers(HWND window);

// The earliest timer due at `now`, rescheduled to its next tick.
std::optional<DueTimer> TakeDueTimer(std::uint64_t now);
std::optional<std::uint64_t> NextTimerDue();
bool AnyTimerSet();

bool WindowTimerSet(HWND window, UINT_PTR id);
UINT WindowTimerPeriod(HWND window, UINT_PTR id);  // 0 when not set

}  // namespace afx
