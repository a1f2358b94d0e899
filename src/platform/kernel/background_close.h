// Closes that run on threads of their own, so that a device whose firmware
// stopped answering (each USB control request may take 5 s, and the kernel
// does not interrupt them) never holds the thread that closed it. Each close
// is known by its device and given the time it should need: the next open of
// that device waits for it, and so does the end of the process.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kernel {

// Runs close on a thread of its own for the device known as key (name is how
// a user knows it), which should be done within allowance. Where no thread can
// be had, runs it on this one.
void StartBackgroundClose(std::string key, std::string name, std::chrono::milliseconds allowance,
                          std::function<void()> close);

// Waits at most patience until no close of key runs; false if one still does.
bool WaitForBackgroundClose(const std::string& key, std::chrono::milliseconds patience);

// Waits for every close, each at most until the end of its allowance. Returns
// the names of those still running: they are left to the kernel when the
// process ends.
std::vector<std::string> WaitForBackgroundCloses();

}  // namespace kernel
