#include "platform/comm/net/tcp_socket.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/comm/errno_map.h"
#include "platform/comm/ioctl_count.h"
#include "platform/kernel/ending.h"

namespace comm::net {
namespace {

// Small, so that what the socket holds is what a tick or two has written:
// the kernel doubles it and keeps its own minimum.
constexpr int kSendBuffer = 4096;
// A server whose machine went away without a word is noticed while the line
// is quiet, as a pulled adapter is: probes after 10 s of silence, 5 s apart,
// three unanswered.
constexpr int kKeepIdle = 10;
constexpr int kKeepInterval = 5;
constexpr int kKeepCount = 3;
// And one that went away while data it has not acknowledged waits: without
// this, TCP retransmits for about 15 minutes, the write held as "not taking
// data" all that while, where a user wants to hear "disconnected". A server
// that stops reading still acknowledges the window probes, so flow control
// is not mistaken for it.
constexpr int kUnacknowledgedMs = 15000;

bool SetOption(int fd, int level, int name, int value) { return setsockopt(fd, level, name, &value, sizeof value) == 0; }

Connection Failed(DWORD error, std::string reason) { return {-1, error, std::move(reason)}; }

Connection FromErrno(int error) {
    if (error == ECONNREFUSED) return Failed(ERROR_FILE_NOT_FOUND, "connection refused");
    if (error == ENETUNREACH || error == EHOSTUNREACH) return Failed(ERROR_FILE_NOT_FOUND, ErrnoText(error));
    return Failed(Win32FromErrno(error), ErrnoText(error));
}

// Waits until fd is ready for events or the deadline: 1 ready, 0 the time ran
// out, -errno, -ECANCELED once cancelFd (when not -1) is readable or the
// program is ending.
int WaitUntil(int fd, short events, Clock::time_point deadline, int cancelFd) {
    pollfd waiting[3] = {{fd, events, 0}, {cancelFd, POLLIN, 0}, {kernel::EndingFd(), POLLIN, 0}};
    const int ready = poll(waiting, 3, MillisecondsUntil(deadline));
    if (ready < 0) return -errno;
    if (waiting[1].revents != 0 || waiting[2].revents != 0) return -ECANCELED;
    return ready;
}

// A host lookup on a thread of its own, shared with the caller: getaddrinfo
// cannot be interrupted, and a name server that does not answer holds it for
// the resolver's timeouts times its tries. A caller whose deadline comes
// first leaves it; the thread ends when getaddrinfo does, holding nothing but
// this.
struct Lookup {
    Lookup() : done(eventfd(0, EFD_CLOEXEC)) {}
    ~Lookup() {
        if (found) freeaddrinfo(found);
        if (done >= 0) close(done);
    }
    void Run(const NetAddress& address) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
        addrinfo* list = nullptr;
        const int code = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &list);
        const int error = errno;
        {
            std::lock_guard held(lock);
            result = code;
            systemError = error;
            found = list;
        }
        eventfd_write(done, 1);
    }

    const int done;  // readable once the result is in
    std::mutex lock;
    int result = EAI_AGAIN;
    int systemError = 0;
    addrinfo* found = nullptr;
};

// One address: a connected socket, or -errno.
int ConnectOne(const addrinfo& info, Clock::time_point deadline, int cancelFd) {
    const int fd = socket(info.ai_family, info.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, info.ai_protocol);
    if (fd < 0) return -errno;
    int error = 0;
    if (!SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1) || !SetOption(fd, SOL_SOCKET, SO_SNDBUF, kSendBuffer) ||
        !SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1) || !SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdle) ||
        !SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepInterval) ||
        !SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount) ||
        !SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, kUnacknowledgedMs)) {
        error = errno;
    } else if (connect(fd, info.ai_addr, info.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            const int ready = WaitUntil(fd, POLLOUT, deadline, cancelFd);
            socklen_t length = sizeof error;
            if (ready < 0) error = -ready;
            else if (ready == 0) error = ETIMEDOUT;
            else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        }
    }
    if (error == 0) return fd;
    close(fd);
    return -error;
}

}  // namespace

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

Connection ConnectTcp(const NetAddress& address, Clock::time_point deadline, int cancelFd) {
    auto lookup = std::make_shared<Lookup>();
    if (lookup->done < 0) return FromErrno(errno);
    try {
        std::thread([lookup, address] { lookup->Run(address); }).detach();
    } catch (const std::system_error&) {
        lookup->Run(address);  // no thread to be had: the wait is this one
    }
    const int ready = WaitUntil(lookup->done, POLLIN, deadline, cancelFd);
    if (ready == 0) return Failed(ERROR_TIMEOUT, "timed out");
    if (ready < 0) return FromErrno(-ready);
    std::lock_guard held(lookup->lock);
    if (lookup->result == EAI_NONAME || lookup->result == EAI_NODATA || lookup->result == EAI_FAMILY)
        return Failed(ERROR_FILE_NOT_FOUND, "host not found");
    if (lookup->result == EAI_SYSTEM) return FromErrno(lookup->systemError);
    if (lookup->result != 0) return Failed(ERROR_FILE_NOT_FOUND, gai_strerror(lookup->result));

    int error = ETIMEDOUT;
    for (const addrinfo* info = lookup->found; info && Clock::now() < deadline; info = info->ai_next) {
        const int fd = ConnectOne(*info, deadline, cancelFd);
        if (fd >= 0) return {fd, ERROR_SUCCESS, ""};
        error = -fd;
    }
    if (error == ETIMEDOUT) return Failed(ERROR_TIMEOUT, "timed out");
    return FromErrno(error);
}

DWORD UnsentBytes(int fd) { return IoctlCount(fd, SIOCOUTQNSD); }

// The kernel keeps the count after a reset, though it has let the bytes go.
DWORD UnacknowledgedBytes(int fd) { return IoctlCount(fd, SIOCOUTQ); }

}  // namespace comm::net
