#include "e2e/file_watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {

FileWatch::FileWatch(const std::string& path, std::uint32_t mask) {
    m_fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_fd < 0 || inotify_add_watch(m_fd, path.c_str(), mask) < 0)
        throw std::runtime_error("cannot watch " + path);
}

FileWatch::~FileWatch() { close(m_fd); }

bool FileWatch::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < n; ++m_nEvents)
                at += static_cast<ssize_t>(sizeof(inotify_event) + reinterpret_cast<inotify_event*>(buffer + at)->len);
        }
        if (condition()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd event{m_fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&event, 1, static_cast<int>(left.count())) <= 0) return condition();
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace e2e
