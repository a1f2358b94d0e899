#include "platform/comm/net/tcp_socket.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/comm/errno_map.h"

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

bool SetOption(int fd, int level, int name, int value) { return setsockopt(fd, level, name, &value, sizeof value) == 0; }

Connection Failed(DWORD error, std::string reason) { return {-1, error, std::move(reason)}; }

Connection FromErrno(int error) {
    if (error == ECONNREFUSED) return Failed(ERROR_FILE_NOT_FOUND, "connection refused");
    if (error == ENETUNREACH || error == EHOSTUNREACH) return Failed(ERROR_FILE_NOT_FOUND, ErrnoText(error));
    return Failed(Win32FromErrno(error), ErrnoText(error));
}

// One address: a connected socket, or -errno.
int ConnectOne(const addrinfo& info, Clock::time_point deadline) {
    const int fd = socket(info.ai_family, info.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, info.ai_protocol);
    if (fd < 0) return -errno;
    int error = 0;
    if (!SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1) || !SetOption(fd, SOL_SOCKET, SO_SNDBUF, kSendBuffer) ||
        !SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1) || !SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdle) ||
        !SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepInterval) ||
        !SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount)) {
        error = errno;
    } else if (connect(fd, info.ai_addr, info.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd waiting{fd, POLLOUT, 0};
            const int ready = poll(&waiting, 1, MillisecondsUntil(deadline));
            socklen_t length = sizeof error;
            if (ready < 0) error = errno;
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

Connection ConnectTcp(const NetAddress& address, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found);
    if (lookup == EAI_NONAME || lookup == EAI_NODATA || lookup == EAI_FAMILY)
        return Failed(ERROR_FILE_NOT_FOUND, "host not found");
    if (lookup == EAI_SYSTEM) return FromErrno(errno);
    if (lookup != 0) return Failed(ERROR_FILE_NOT_FOUND, gai_strerror(lookup));
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);

    int error = ETIMEDOUT;
    for (const addrinfo* info = found; info && Clock::now() < deadline; info = info->ai_next) {
        const int fd = ConnectOne(*info, deadline);
        if (fd >= 0) return {fd, ERROR_SUCCESS, ""};
        error = -fd;
    }
    if (error == ETIMEDOUT) return Failed(ERROR_TIMEOUT, "timed out");
    return FromErrno(error);
}

DWORD UnsentBytes(int fd) {
    int unsent = 0;
    if (ioctl(fd, SIOCOUTQNSD, &unsent) != 0 || unsent < 0) return 0;
    return static_cast<DWORD>(unsent);
}

}  // namespace comm::net
