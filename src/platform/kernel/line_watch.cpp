#include "platform/kernel/line_watch.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>

namespace kernel {

LineWatch::LineWatch(int wakeFd) : m_wakeFd(wakeFd), m_epoll(epoll_create1(EPOLL_CLOEXEC)) {
    if (m_epoll < 0) return;
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = wakeFd;
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, wakeFd, &wake) == 0) return;
    const int error = errno;
    close(m_epoll);
    m_epoll = -1;
    errno = error;
}

LineWatch::~LineWatch() {
    if (m_epoll >= 0) close(m_epoll);
}

bool LineWatch::Watch(int lineFd, std::uint32_t events) {
    if (lineFd == m_watchedFd && events == m_watchedEvents) return true;
    // An exclusive registration cannot be modified, only made again.
    if (m_watchedFd >= 0) epoll_ctl(m_epoll, EPOLL_CTL_DEL, m_watchedFd, nullptr);
    m_watchedFd = -1;
    if (lineFd < 0) return true;
    epoll_event line{};
    line.events = events | EPOLLEXCLUSIVE;
    line.data.fd = lineFd;
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, lineFd, &line) != 0) return false;
    m_watchedFd = lineFd;
    m_watchedEvents = events;
    return true;
}

bool LineWatch::Requeue() {
    const int lineFd = m_watchedFd;
    if (lineFd < 0) return true;
    Watch(-1, 0);
    return Watch(lineFd, m_watchedEvents);
}

LineWatch::Result LineWatch::Wait(int timeoutMs) {
    Result result;
    epoll_event ready[2];
    const int count = epoll_wait(m_epoll, ready, 2, timeoutMs);
    if (count < 0) {
        result.error = errno;
        return result;
    }
    for (int i = 0; i < count; ++i) {
        if (ready[i].data.fd == m_wakeFd) result.woken = true;
        else result.line = ready[i].events;
    }
    return result;
}

}  // namespace kernel
