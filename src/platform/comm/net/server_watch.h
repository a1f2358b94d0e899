// A port server whose connection was lost is looked for in the background, as
// a USB device that was pulled is: a job waiting for it asks now and then
// whether it answers, and is told it is away until a try on a thread of its
// own has reached it. That try's connection is what the job's next open takes, so
// a job waiting for a server that drops every packet never waits on it
// itself, and its Stop is taken at once.
#pragma once

#include <memory>
#include <string>

#include "platform/comm/net/server_connection.h"

namespace comm::net {

// A connection to a server, negotiated and its settings read into dcb;
// or nothing, with the reason.
struct OpenedConnection {
    std::unique_ptr<ServerConnection> connection;
    DCB dcb{};
    LineResult result;
};

// The connection to the server at this address ("rfc2217://bench:2217") ended.
void ServerLost(const std::string& addressText);

// Whether the server can be opened now: false while it was lost and no try
// has reached it since; a try is then under way. signature receives what
// the server a try reached says it is (empty when it says nothing, or when
// no try is needed: the server was not lost).
bool ServerAnswering(const NetAddress& address, std::string& signature);

// Opens a connection to the server, within kServerTimeout for each step: what a
// try under way or just made gives, else an open of its own, whose waits end
// once cancelFd (when not -1) is readable.
OpenedConnection OpenServer(const NetAddress& address, int cancelFd = -1);

}  // namespace comm::net
