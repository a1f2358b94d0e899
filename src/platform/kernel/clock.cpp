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
