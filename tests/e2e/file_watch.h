// Waiting on the file system for the end-to-end tests: a condition is checked
// at once and again after each inotify event on the watched path, until it
// holds or the time runs out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace e2e {

class FileWatch {
public:
    FileWatch(const std::string& path, std::uint32_t mask);  // inotify IN_ bits
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
    // Events seen so far; WaitUntil reads them in.
    int Events() const { return m_nEvents; }

private:
    int m_fd = -1;
    int m_nEvents = 0;
};

// The whole file, or "" when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace e2e
