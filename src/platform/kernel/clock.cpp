// Sleep and the millisecond tick count, on the monotonic clock.
#include <chrono>
#include <thread>

#include "platform/win32.h"

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    // Wraps after 49.7 days, as on Windows.
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    count->QuadPart = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    frequency->QuadPart = 1'000'000'000;
    return TRUE;
}

void GetSystemTimePreciseAsFileTime(LPFILETIME time) {
    // 1601-01-01 to 1970-01-01 in 100 ns units.
    constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000ULL;
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const std::uint64_t units =
        kUnixEpoch + static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100);
    time->dwLowDateTime = static_cast<DWORD>(units);
    time->dwHighDateTime = static_cast<DWORD>(units >> 32);
}
