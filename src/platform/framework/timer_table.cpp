#include "platform/framework/timer_table.h"

#include <algorithm>
#include <vector>

namespace afx {
namespace {

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT period;
    TimerProc proc;
    std::uint64_t due;
};

// A handful of timers at most: a vector in creation order, scanned linearly.
std::vector<Timer>& Timers() {
    static std::vector<Timer> timers;
    return timers;
}

Timer* Find(HWND window, UINT_PTR id) {
    for (Timer& t : Timers())
        if (t.window == window && t.id == id) return &t;
    return nullptr;
}

// A zero period would spin, so it runs at the shortest period Windows gives a
// timer; periods from 1 ms on run as asked, since the send delay is meant
// to be honoured down to its smallest setting.
constexpr UINT kZeroPeriodReplacement = 10;
constexpr UINT kMaximumPeriod = 0x7FFFFFFF;

}  // namespace

void SetWindowTimer(HWND window, UINT_PTR id, UINT period, TimerProc proc, std::uint64_t now) {
    period = period == 0 ? kZeroPeriodReplacement : std::min(period, kMaximumPeriod);
    Timer timer{window, id, period, proc, now + period};
    if (Timer* existing = Find(window, id))
        *existing = timer;
    else
        Timers().push_back(timer);
}

bool KillWindowTimer(HWND window, UINT_PTR id) {
    return std::erase_if(Timers(), [&](const Timer& t) { return t.window == window && t.id == id; }) > 0;
}

void KillWindowTimers(HWND window) {
    std::erase_if(Timers(), [&](const Timer& t) { return t.window == window; });
}

std::optional<DueTimer> TakeDueTimer(std::uint64_t now) {
    Timer* earliest = nullptr;
    for (Timer& t : Timers())
        if (t.due <= now && (!earliest || t.due < earliest->due)) earliest = &t;
    if (!earliest) return std::nullopt;
    // The next tick stays on the grid of intended times, the first one after now.
    std::uint64_t missed = (now - earliest->due) / earliest->period;
    earliest->due += (missed + 1) * earliest->period;
    return DueTimer{earliest->window, earliest->id, earliest->proc};
}

std::optional<std::uint64_t> NextTimerDue() {
    std::optional<std::uint64_t> next;
    for (const Timer& t : Timers())
        if (!next || t.due < *next) next = t.due;
    return next;
}

bool AnyTimerSet() { return !Timers().empty(); }

bool WindowTimerSet(HWND window, UINT_PTR id) { return Find(window, id) != nullptr; }

UINT WindowTimerPeriod(HWND window, UINT_PTR id) {
    const Timer* t = Find(window, id);
    return t ? t->period : 0;
}

}  // namespace afx
