// An epoll set holding a wake-up counter and a line (a tty or a socket). The
// line stays registered between waits and is changed only when what is
// watched for changes, so a wait costs no setting up of the descriptors it
// watches, as a poll() of them would each time. The registration is
// exclusive: of two sets that hold the same line, the one that registered it
// first is woken for input while a thread sleeps in it, and the other only
// while none does. A device's driver thread sleeps in one; a thread lent the
// device's line sleeps in its parker's (parker.h).
#pragma once

#include <cstdint>

namespace kernel {

class LineWatch {
public:
    // False from Valid() when the set could not be made (errno tells why).
    explicit LineWatch(int wakeFd);
    ~LineWatch();
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    bool Valid() const { return m_epoll >= 0; }
    // lineFd is the line registered now.
    bool Watches(int lineFd) const { return lineFd >= 0 && lineFd == m_watchedFd; }

    // Makes the line's registration what is asked; false (errno set) if it
    // could not. lineFd < 0: the line is not watched at all. events 0: only
    // its hang-up and failure are.
    bool Watch(int lineFd, std::uint32_t events);
    // Registers the line again as it is, behind any registered since; false
    // (errno set) if it could not.
    bool Requeue();

    struct Result {
        bool woken = false;           // the wake-up counter was written
        std::uint32_t line = 0;       // EPOLLIN, EPOLLOUT, EPOLLHUP, EPOLLERR of the line
        int error = 0;                // errno of a wait that failed (EINTR included)
    };
    // Sleeps until the line has one of the events watched, hangs up or fails,
    // the counter is written, or timeoutMs passes (-1: no limit).
    Result Wait(int timeoutMs);

private:
    const int m_wakeFd;
    int m_epoll;
    int m_watchedFd = -1;           // the line's descriptor as registered, or -1
    std::uint32_t m_watchedEvents = 0;
};

}  // namespace kernel
