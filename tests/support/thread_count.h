// This process's threads, read from /proc. Nothing signals the very end of a
// thread: one that has been joined can still be listed for a moment.
#pragma once

#include <chrono>
#include <filesystem>
#include <thread>

namespace testsupport {

inline int Threads() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

// Whether this process is down to `count` threads within `patience`.
inline bool ThreadsReturnTo(int count, std::chrono::milliseconds patience = std::chrono::seconds(1)) {
    const auto due = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < due) {
        if (Threads() == count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Threads() == count;
}

}  // namespace testsupport
