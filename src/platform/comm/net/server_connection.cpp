#include "platform/comm/net/server_connection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/comm/settings_refusal.h"
#include "platform/kernel/ending.h"
#include "platform/kernel/visible_text.h"

namespace comm::net {
namespace {

constexpr size_t kReadSize = 4096;
// What one Send frames at most: the socket's buffer is small, and what it
// cannot take waits here.
constexpr size_t kSendChunk = 1024;
// What is shown at most of a server's words as it closes the connection.
constexpr size_t kMaxClosingWords = 200;
constexpr int kClosingReads = 4;
// What waits here at most: data read while the settings wait for their
// answers, and replies to the server's negotiation that the socket has not
// taken. Past it the server is dropped: a sound one needs a fraction.
constexpr size_t kHeldBound = 65536;

// SET-CONTROL sets several independent things; an answer is about the same
// thing as the request (flow control, break, DTR, RTS, inbound flow control).
int ControlGroup(std::uint8_t value) { return value <= 3 ? 0 : value <= 6 ? 1 : value <= 9 ? 2 : value <= 12 ? 3 : 4; }

bool SameSubject(const ComPortRequest& request, const ServerMessage& answer) {
    if (request.command != answer.command) return false;
    if (request.command != kSetControl || answer.value.size() != 1) return true;
    return ControlGroup(request.value[0]) == ControlGroup(answer.value[0]);
}

LineResult Failure(DWORD error, std::string reason) { return {error, 0, std::move(reason)}; }

std::string SilentText() { return "the server did not answer within " + std::to_string(kServerTimeout.count()) + " s"; }

}  // namespace

ServerConnection::ServerConnection(int fd, NetAddress address) : m_fd(fd), m_address(std::move(address)) {}

ServerConnection::~ServerConnection() { close(m_fd); }

std::unique_ptr<ServerConnection> ServerConnection::Open(const NetAddress& address, LineResult& result, int cancelFd) {
    const Clock::time_point deadline = Clock::now() + kServerTimeout;
    Connection connection = ConnectTcp(address, deadline, cancelFd);
    if (connection.fd < 0) {
        result = Failure(connection.error, std::move(connection.reason));
        return nullptr;
    }
    std::unique_ptr<ServerConnection> line(new ServerConnection(connection.fd, address));
    line->m_openDeadline = deadline;
    line->m_cancelFd = cancelFd;
    result = line->Rfc2217() ? line->Negotiate(deadline) : LineResult{};
    line->m_cancelFd = -1;
    if (result.error != ERROR_SUCCESS) return nullptr;
    return line;
}

LineResult ServerConnection::Negotiate(Clock::time_point deadline) {
    using State = TelnetParser::State;
    m_out = m_parser.Start();
    Flush();
    // Until it has answered the option, and, once it took it, binary both ways.
    auto asking = [&] {
        const State comPort = m_parser.Us(kOptionComPort);
        return comPort == State::WantYes || (comPort == State::Yes && (m_parser.Us(kOptionBinary) == State::WantYes ||
                                                                        m_parser.Him(kOptionBinary) == State::WantYes));
    };
    while (asking()) {
        if (WaitForServer(deadline)) continue;
        if (m_ended) return Failure(ERROR_FILE_NOT_FOUND, ClosedReason());
        if (m_cancelled) return Cancelled();
        // Its answer to the option says whether it is a port server at all.
        if (m_parser.Us(kOptionComPort) != State::WantYes) break;
        const std::string seconds = std::to_string(kServerTimeout.count());
        std::string reason = "no answer to the RFC 2217 negotiation within " + seconds + " s";
        // Not a Telnet word back: most likely a raw port, where the negotiation went to the device as data.
        if (NothingNegotiated()) {
            NetAddress raw = m_address;
            raw.protocol = NetAddress::Protocol::RawTcp;
            reason += "; if the server gives the line as raw TCP, use " + NetAddressText(raw);
        }
        return Failure(ERROR_TIMEOUT, reason);
    }
    // It may have agreed to every option and closed at once (ser2net to a second client).
    if (m_ended) return Failure(ERROR_FILE_NOT_FOUND, ClosedReason());
    if (m_parser.Us(kOptionComPort) != State::Yes)
        return Failure(ERROR_NOT_SUPPORTED, "server does not offer RFC 2217");
    // Without it a server in text mode may alter what passes (a CR followed
    // by NUL or LF): the bytes could not be trusted.
    if (m_parser.Us(kOptionBinary) != State::Yes || m_parser.Him(kOptionBinary) != State::Yes)
        return Failure(ERROR_NOT_SUPPORTED, "the server does not accept binary transmission");
    // Told whenever they happen, as a local driver tells them; the signature names the server.
    Queue({kSetLineStateMask, {kLineErrorMask}, 0});
    Queue({kSetModemStateMask, {kModemAll}, 0});
    Queue({kSignature, {}, 0});
    Flush();
    return {};
}

bool ServerConnection::NothingNegotiated() const {
    using State = TelnetParser::State;
    return m_parser.Us(kOptionComPort) == State::WantYes && m_parser.Us(kOptionBinary) == State::WantYes &&
           m_parser.Him(kOptionBinary) == State::WantYes;
}

// A server that turns the connection away may say why first (ser2net: "Port
// already in use"): its words, bounded and made visible. Our answers to its
// negotiation may have met the closed connection before its words were read:
// what the socket still holds is read first (a few reads, each at once).
std::string ServerConnection::ClosedReason() {
    if (!m_endReason.empty()) return m_endReason;  // dropped, not closed by the server
    for (int read = 0; read < kClosingReads && m_input.data.size() < kMaxClosingWords; ++read) ReadSocket();
    const auto isSpace = [](std::uint8_t byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); };
    auto begin = std::find_if_not(m_input.data.begin(), m_input.data.end(), isSpace);
    auto end = begin + static_cast<std::ptrdiff_t>(std::min(static_cast<size_t>(m_input.data.end() - begin), kMaxClosingWords));
    while (end != begin && isSpace(end[-1])) --end;
    if (begin == end) return EndText();
    return "the server closed the connection, saying: " + kernel::VisibleText(std::string(begin, end));
}

bool ServerConnection::ReadSocket() {
    std::uint8_t buffer[kReadSize];
    const ssize_t count = read(m_fd, buffer, sizeof buffer);
    m_drained = count < 0 && errno == EAGAIN;
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) m_ended = true;
    if (count <= 0) return !m_ended;
    if (!Rfc2217()) {
        m_input.data.insert(m_input.data.end(), buffer, buffer + count);
        return true;
    }
    m_parser.Feed(buffer, static_cast<size_t>(count), m_input);
    m_out.insert(m_out.end(), m_input.replies.begin(), m_input.replies.end());
    m_input.replies.clear();
    for (const Bytes& subnegotiation : m_input.comPort) Take(DecodeServerMessage(subnegotiation));
    m_input.comPort.clear();
    Flush();
    if (m_out.size() > kHeldBound || m_input.data.size() > kHeldBound) Drop("the server sent too much without answering");
    return !m_ended;
}

void ServerConnection::Drop(const char* reason) {
    m_ended = true;
    m_endReason = reason;
    m_out.clear();
    m_input.data.clear();
    shutdown(m_fd, SHUT_RDWR);
}

std::string ServerConnection::EndText() const { return m_endReason.empty() ? "the server closed the connection" : m_endReason; }

LineResult ServerConnection::Cancelled() { return Failure(ERROR_OPERATION_ABORTED, "the wait for the server was ended"); }

void ServerConnection::Take(const ServerMessage& message) {
    using Kind = ServerMessage::Kind;
    switch (message.kind) {
        case Kind::Answer: {
            auto asked = std::find_if(m_asked.begin(), m_asked.end(), [&](const Answer& answer) {
                return !answer.answered && SameSubject(answer.request, message);
            });
            if (asked == m_asked.end()) break;  // an answer to a request nobody waits for
            asked->answered = true;
            asked->value = message.value;
            break;
        }
        case Kind::LineState: {
            const LineReport report = LineStateReport(message.state);
            m_lineReport.errors |= report.errors;
            m_lineReport.events |= report.events;
            break;
        }
        case Kind::ModemState:
            m_modemState = message.state;
            m_modemEvents |= ModemStateEvents(message.state);
            break;
        case Kind::Suspend: m_suspended = true; break;
        case Kind::Resume: m_suspended = false; break;
        case Kind::Signature: m_signature = message.text; break;
        case Kind::Unknown: break;
    }
}

void ServerConnection::Flush() {
    while (!m_out.empty() && !m_ended) {
        const ssize_t sent = send(m_fd, m_out.data(), m_out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            m_out.erase(m_out.begin(), m_out.begin() + sent);
        } else if (errno == EAGAIN || errno == EINTR) {
            return;
        } else {
            m_ended = true;
        }
    }
}

void ServerConnection::Queue(const ComPortRequest& request) {
    const Bytes framed = Encode(request);
    m_out.insert(m_out.end(), framed.begin(), framed.end());
}

bool ServerConnection::Receive(Bytes& data) {
    m_dataHandedOn = true;
    const bool alive = !m_ended && ReadSocket();
    data.insert(data.end(), m_input.data.begin(), m_input.data.end());
    m_input.data.clear();
    return alive;
}

size_t ServerConnection::Send(const std::uint8_t* data, size_t length) {
    Flush();
    if (m_ended || !m_out.empty() || m_suspended) return 0;
    const size_t taken = std::min(length, kSendChunk);
    if (Rfc2217()) AppendEscaped(m_out, data, taken);
    else m_out.assign(data, data + taken);
    Flush();
    return taken;
}

DWORD ServerConnection::Unsent() const { return static_cast<DWORD>(m_out.size()) + UnsentBytes(m_fd); }

DWORD ServerConnection::Unacknowledged() const {
    return static_cast<DWORD>(m_out.size()) + UnacknowledgedBytes(m_fd);
}

bool ServerConnection::WaitForServer(Clock::time_point deadline) {
    // A socket that is always readable does not keep the wait past its time.
    if (Clock::now() >= deadline) return false;
    pollfd waiting[3] = {{m_fd, static_cast<short>(POLLIN | (m_out.empty() ? 0 : POLLOUT)), 0},
                         {m_cancelFd, POLLIN, 0},
                         {kernel::EndingFd(), POLLIN, 0}};
    const int ready = poll(waiting, 3, MillisecondsUntil(deadline));
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return false;
    if (waiting[1].revents != 0 || waiting[2].revents != 0) {
        m_cancelled = true;
        return false;
    }
    if (waiting[0].revents & POLLOUT) Flush();
    if (waiting[0].revents & (POLLIN | POLLHUP | POLLERR)) ReadSocket();
    return !m_ended;
}

LineResult ServerConnection::Ask(const std::vector<ComPortRequest>& requests, std::vector<Answer>& answers,
                        Clock::time_point deadline) {
    m_cancelled = false;
    m_asked.clear();
    for (const ComPortRequest& request : requests) {
        Queue(request);
        if (request.part != 0) m_asked.push_back({request, false, {}});
    }
    Flush();
    auto waiting = [&] { return std::any_of(m_asked.begin(), m_asked.end(), [](const Answer& a) { return !a.answered; }); };
    while (waiting() && WaitForServer(deadline)) {
    }
    answers = std::exchange(m_asked, {});
    // Closed during the open's first settings, what came is the server's words rather than the line's data.
    if (m_ended) return Failure(ERROR_DEVICE_NOT_CONNECTED, m_dataHandedOn ? EndText() : ClosedReason());
    if (m_cancelled) return Cancelled();
    return {};
}

LineResult ServerConnection::ApplyDcb(const DCB& asked, const DCB& kept, int cancelFd) {
    m_cancelFd = cancelFd;
    const LineResult result = SetLine(asked, kept);
    m_cancelFd = -1;
    return result;
}

LineResult ServerConnection::SetLine(const DCB& asked, const DCB& kept) {
    if (!Rfc2217()) return {};
    // A server that let a whole round go unanswered is not waited for again.
    if (m_silent) return Failure(ERROR_TIMEOUT, SilentText());
    std::vector<Answer> answers;
    LineResult result = Ask(DcbRequests(asked), answers, Clock::now() + kServerTimeout);
    if (result.error != ERROR_SUCCESS) return result;
    result.refusedParts = RefusedParts(answers);
    if (result.refusedParts == 0) return result;
    // A part left unanswered is one the server may or may not have set
    // (ser2net in front of a pty says nothing to 1.5 stop bits): told as such.
    const unsigned unanswered = UnansweredParts(answers);
    m_silent = AllUnanswered(answers);
    // All or nothing: the server runs what it ran before. A server that
    // answered nothing in time is not waited for a second time.
    if (m_silent) {
        for (const ComPortRequest& request : DcbRequests(kept)) Queue(request);
        Flush();
    } else {
        const LineResult restored = Ask(DcbRequests(kept), answers, Clock::now() + kServerTimeout);
        if (restored.error != ERROR_SUCCESS) return restored;
    }
    if (unanswered != 0) {
        result.error = ERROR_TIMEOUT;
        result.reason = DescribeUnanswered(Address(), asked, kept, unanswered, SilentText());
        return result;
    }
    result.error = ERROR_INVALID_PARAMETER;
    result.reason = DescribeRefusal(Address(), asked, kept, result.refusedParts);
    return result;
}

LineResult ServerConnection::ReadSettings(DCB& dcb, int cancelFd) {
    if (!Rfc2217()) return {};
    std::vector<Answer> answers;
    m_cancelFd = cancelFd;
    // Within what is left of the open's time: the open as a whole says why within it.
    const LineResult result = Ask(SettingsQueries(), answers, std::max(m_openDeadline, Clock::now()));
    m_cancelFd = -1;
    if (result.error != ERROR_SUCCESS) return result;
    if (AllUnanswered(answers)) return Failure(ERROR_TIMEOUT, SilentText());
    DcbFromAnswers(answers, dcb);
    return result;
}

void ServerConnection::Control(ControlValue value) {
    if (!Rfc2217()) return;
    Queue(ControlRequest(value));
    Flush();
}

void ServerConnection::Purge(bool input, bool output) {
    if (!Rfc2217() || !(input || output)) return;
    const std::uint8_t which = input && output ? kPurgeBoth : input ? kPurgeReceive : kPurgeTransmit;
    Queue({kPurgeData, {which}, 0});
    Flush();
}

LineReport ServerConnection::TakeLineReport() { return std::exchange(m_lineReport, LineReport{}); }

DWORD ServerConnection::TakeModemEvents() { return std::exchange(m_modemEvents, 0); }

}  // namespace comm::net
