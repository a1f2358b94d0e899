#include "faults/far_end.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace faults {

char Pattern(size_t i) { return static_cast<char>(' ' + i % 95 + (i / 95 % 2) * 0x80); }

FarEnd::FarEnd(int masterFd, size_t total, size_t piece, int periodMs) : m_stopFd(eventfd(0, EFD_CLOEXEC)) {
    if (m_stopFd < 0) throw std::runtime_error("eventfd failed");
    // Non-blocking, so that Stop is never stuck behind a full line.
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    m_thread = std::thread(&FarEnd::Run, this, masterFd, total, piece, periodMs);
}

FarEnd::~FarEnd() {
    Stop();
    close(m_stopFd);
}

void FarEnd::Stop() {
    if (!m_thread.joinable()) return;
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(m_stopFd, &one, sizeof one);
    m_thread.join();
}

size_t FarEnd::Sent() const { return m_sent; }

void FarEnd::Run(int masterFd, size_t total, size_t piece, int periodMs) {
    std::string bytes(piece, '\0');
    while (m_sent < total) {
        // The pause between pieces, cut short by Stop.
        pollfd stop{m_stopFd, POLLIN, 0};
        if (poll(&stop, 1, periodMs) != 0) return;
        const size_t count = std::min(piece, total - m_sent);
        for (size_t i = 0; i < count; ++i) bytes[i] = Pattern(m_sent + i);
        // Waits for room, or for Stop, rather than blocking in write. While
        // no one has the line open the rest of the piece is lost, as on a wire.
        for (size_t done = 0; done < count;) {
            pollfd fds[2] = {{masterFd, POLLOUT, 0}, {m_stopFd, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
            if (!(fds[0].revents & POLLOUT)) break;
            const ssize_t put = write(masterFd, bytes.data() + done, count - done);
            if (put < 0 && errno == EAGAIN) continue;
            if (put <= 0) break;
            done += static_cast<size_t>(put);
            m_sent += static_cast<size_t>(put);
        }
    }
}

}  // namespace faults
