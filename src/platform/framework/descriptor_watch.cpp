#include "platform/framework/descriptor_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

DescriptorWatch::DescriptorWatch(int fd, std::function<void()> onReadable)
    : m_fd(fd), m_stopFd(eventfd(0, EFD_CLOEXEC)), m_onReadable(std::move(onReadable)) {
    if (m_fd >= 0 && m_stopFd >= 0) m_thread = std::thread(&DescriptorWatch::Watch, this);
}

DescriptorWatch::~DescriptorWatch() {
    if (m_thread.joinable()) {
        std::uint64_t one = 1;
        ssize_t written = write(m_stopFd, &one, sizeof one);
        (void)written;  // an eventfd write of 1 cannot fail short of overflow
        m_thread.join();
    }
    if (m_stopFd >= 0) close(m_stopFd);
}

void DescriptorWatch::Watch() {
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;  // EINTR
        if (fds[1].revents) return;
        if (fds[0].revents) m_onReadable();
    }
}
