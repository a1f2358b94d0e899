#include "platform/framework/headless/console_output.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/kernel/interrupt.h"

namespace headless {
namespace {

// A terminal is opened again for the writer, non-blocking: the new open file
// description is the writer's alone, where O_NONBLOCK on standard error's would
// reach the shell that shares it. Elsewhere (a pipe, a file) a write of up to
// PIPE_BUF does not block once poll says the descriptor takes one.
int OpenTerminalAgain() {
    int ptyNumber = 0;
    // A pty's master side opened again would be a new pty.
    if (!isatty(STDERR_FILENO) || ioctl(STDERR_FILENO, TIOCGPTN, &ptyNumber) == 0) return -1;
    int fd = open("/proc/self/fd/2", O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct stat opened{}, standardError{};
    if (fd >= 0 && (fstat(fd, &opened) != 0 || fstat(STDERR_FILENO, &standardError) != 0 ||
                    opened.st_rdev != standardError.st_rdev)) {
        close(fd);
        fd = -1;
    }
    return fd;
}

constexpr std::chrono::milliseconds kInterruptAgain{40};

int PollTimeout(bool closing, std::chrono::steady_clock::time_point giveUpAt) {
    if (!closing) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(giveUpAt - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

}  // namespace

ConsoleOutput::ConsoleOutput() : m_fd(OpenTerminalAgain()), m_ownFd(m_fd >= 0), m_wakeFd(eventfd(0, EFD_CLOEXEC)) {
    if (!m_ownFd) m_fd = STDERR_FILENO;
    if (m_wakeFd >= 0) m_thread = std::thread(&ConsoleOutput::Write, this);
}

void ConsoleOutput::Close(std::chrono::milliseconds patience) {
    if (m_thread.joinable()) {
        std::unique_lock lock(m_lock);
        m_closing = true;
        m_giveUpAt = std::chrono::steady_clock::now() + patience;
        lock.unlock();
        Wake();
        lock.lock();
        // Without a descriptor of its own, the writer's write on a stopped
        // terminal blocks, poll or not: it is broken out of it once the
        // patience is out, again until it has ended.
        const auto ended = [this] { return m_writerEnded; };
        if (!m_writerDone.wait_until(lock, m_giveUpAt, ended)) {
            do {
                kernel::Interrupt(m_thread.native_handle());
            } while (!m_writerDone.wait_for(lock, kInterruptAgain, ended));
        }
        lock.unlock();
        m_thread.join();
    }
    if (m_wakeFd >= 0) close(m_wakeFd);
    m_wakeFd = -1;
    if (m_ownFd) close(m_fd);
    m_ownFd = false;
}

void ConsoleOutput::PrintLine(const std::string& text) {
    {
        std::lock_guard lock(m_lock);
        if (m_lines.size() < kMaxLinesWaiting)
            m_lines.push_back(text);
        else
            ++m_linesNotShown;
        // It would be cleared at once; the progress line is drawn again after the line.
        m_statusPending = false;
    }
    Wake();
}

void ConsoleOutput::ShowStatus(const char* text) {
    {
        std::lock_guard lock(m_lock);
        std::strncpy(m_status, text, sizeof m_status - 1);
        m_statusPending = true;
    }
    Wake();
}

void ConsoleOutput::Wake() {
    std::uint64_t one = 1;
    ssize_t written = write(m_wakeFd, &one, sizeof one);
    (void)written;  // an eventfd write of 1 cannot fail short of overflow
}

void ConsoleOutput::TakeNext(std::string& chunk) {
    chunk.clear();
    if (!m_lines.empty()) {
        if (m_statusShown) chunk += "\r\033[K";
        chunk += m_lines.front();
        chunk += '\n';
        m_lines.pop_front();
        m_statusShown = false;
    } else if (m_linesNotShown > 0) {
        chunk += std::to_string(m_linesNotShown) + " more lines were not shown: the terminal took nothing meanwhile\n";
        m_linesNotShown = 0;
    } else if (m_statusPending) {
        chunk += '\r';
        chunk += m_status;
        chunk += "\033[K";
        m_statusShown = m_status[0] != '\0';
        m_statusPending = false;
    } else if (m_closing && m_statusShown) {
        chunk += '\n';  // what follows the run starts on a line of its own
        m_statusShown = false;
    }
}

// The writer sleeps in poll until it is given something, or until the
// terminal takes more of what it is writing; a piece once begun is finished,
// so that no escape sequence is cut.
void ConsoleOutput::Write() {
    kernel::AllowInterrupt();
    WriteUntilClosed();
    std::lock_guard lock(m_lock);
    m_writerEnded = true;
    m_writerDone.notify_one();
}

void ConsoleOutput::WriteUntilClosed() {
    std::string chunk;
    chunk.reserve(kStatusSize + 8);  // a status line never allocates
    size_t written = 0;
    for (;;) {
        bool closing = false;
        std::chrono::steady_clock::time_point giveUpAt;
        {
            std::lock_guard lock(m_lock);
            if (written == chunk.size()) {
                TakeNext(chunk);
                written = 0;
            }
            closing = m_closing;
            giveUpAt = m_giveUpAt;
        }
        if (closing && (chunk.empty() || std::chrono::steady_clock::now() >= giveUpAt)) return;
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_fd, POLLOUT, 0}};
        int ready = poll(fds, chunk.empty() ? 1 : 2, PollTimeout(closing, giveUpAt));
        if (ready == 0) return;  // closing, and the terminal took nothing in time
        if (ready < 0) continue;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            ssize_t drained = read(m_wakeFd, &count, sizeof count);
            (void)drained;  // readable, so it holds a count
        }
        if (chunk.empty() || fds[1].revents == 0) continue;
        ssize_t n = write(m_fd, chunk.data() + written, std::min<size_t>(chunk.size() - written, PIPE_BUF));
        if (n > 0)
            written += static_cast<size_t>(n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            written = chunk.size();  // a terminal hung up takes nothing more: the piece is lost
    }
}

}  // namespace headless
