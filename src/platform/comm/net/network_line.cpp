#include "platform/comm/net/network_line.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/comm/net/server_signature.h"
#include "platform/comm/net/server_watch.h"
#include "platform/kernel/run_aside.h"

namespace comm::net {
namespace {

// What is taken from the socket ahead of the device's queue; beyond it the
// socket holds the data, and TCP holds the server.
constexpr size_t kReadAhead = 16384;

}  // namespace

// The waits for the server run aside: a window that opens the port or sets
// its line keeps painting meanwhile, and its Stop ends them.
std::unique_ptr<NetworkLine> NetworkLine::Open(const NetAddress& address, LineResult& result) {
    OpenedConnection opened;
    kernel::RunAside([&](int stopFd) { opened = OpenServer(address, stopFd); });
    result = opened.result;
    if (!opened.connection) return nullptr;
    // Asked for before the settings, so answered by now if the server tells one.
    if (!opened.connection->Signature().empty()) RememberSignature(opened.connection->Address(), opened.connection->Signature());
    return std::unique_ptr<NetworkLine>(new NetworkLine(std::move(opened.connection), opened.dcb));
}

LineInput NetworkLine::Read(BYTE* buffer, size_t room) {
    LineInput input;
    bool alive = !m_connection->Ended();
    // A read of the socket that brought only the server's commands is
    // followed by another: a read that gives nothing says the socket has nothing.
    while (alive && m_pending.size() < kReadAhead) {
        const size_t before = m_pending.size();
        alive = m_connection->Receive(m_pending);
        if (m_pending.size() > before || m_connection->Drained()) break;
    }
    NoteEnd();
    const LineReport report = m_connection->TakeLineReport();
    input.errors = report.errors;
    input.events = report.events | m_connection->TakeModemEvents();
    input.length = std::min(room, m_pending.size());
    std::copy_n(m_pending.begin(), input.length, buffer);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(input.length));
    // What arrived before the end is read first.
    input.ended = !alive && input.length == 0;
    return input;
}

void NetworkLine::NoteEnd() {
    // Looked for in the background from now on, as a pulled adapter is.
    if (m_connection->Ended() && !std::exchange(m_lostTold, true)) ServerLost(m_connection->Address());
}

ssize_t NetworkLine::Write(const BYTE* data, size_t length) {
    const size_t taken = m_connection->Send(data, length);
    if (taken > 0) return static_cast<ssize_t>(taken);
    NoteEnd();
    errno = m_connection->Ended() ? EIO : EAGAIN;
    return -1;
}

DWORD NetworkLine::ApplyDcb(const DCB& asked, const DCB& kept, std::string& reason) {
    LineResult result;
    kernel::RunAside([&](int stopFd) { result = m_connection->ApplyDcb(asked, kept, stopFd); });
    NoteEnd();
    reason = result.reason;
    return result.error;
}

void NetworkLine::Purge(bool input, bool output) {
    if (input) m_pending.clear();
    m_connection->Purge(input, output);
}

// A change of settings still waiting for the server ends first.
Clock::duration NetworkLine::CloseAllowance(bool, Clock::duration) const { return kServerTimeout + std::chrono::seconds(1); }

}  // namespace comm::net
