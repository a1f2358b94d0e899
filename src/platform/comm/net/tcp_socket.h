// The TCP connection under a network port.
#pragma once

#include <chrono>
#include <string>

#include "platform/comm/net/net_address.h"
#include "platform/win32.h"

namespace comm::net {

using Clock = std::chrono::steady_clock;

// A connected, non-blocking socket, or the reason there is none.
struct Connection {
    int fd = -1;
    DWORD error = ERROR_SUCCESS;
    std::string reason;  // "connection refused", "timed out", "host not found"
};

// Connects to the address's host and port, trying each address the name
// has, until the deadline; the host lookup is held to it too. The socket
// sends each write at once (TCP_NODELAY) and has a small send buffer, so that
// "sent" soon means "left the machine". A cancelFd other than -1 that becomes
// readable ends the wait at once, as a failure.
Connection ConnectTcp(const NetAddress& address, Clock::time_point deadline, int cancelFd = -1);

// Bytes written to the socket that have not left it yet (SIOCOUTQNSD). Not
// SIOCOUTQ: it also counts what left and waits for the peer's ACK, which a
// delayed ACK holds back up to 40 ms; a 5 ms write would go at that pace.
DWORD UnsentBytes(int fd);
// Bytes written to the socket that the other end has not acknowledged, sent or not.
DWORD UnacknowledgedBytes(int fd);

// Milliseconds until the deadline for poll(), 0 once it has passed.
int MillisecondsUntil(Clock::time_point deadline);

}  // namespace comm::net
