// The connection to a port server: TCP, speaking RFC 2217 (data, line
// settings, modem lines and line errors) or carrying raw bytes. A device's
// driver thread polls its descriptor and calls it through the device's line
// for it (network_line.h); only the settings wait (bounded) for the server.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/comm/net/com_port_option.h"
#include "platform/comm/net/net_address.h"
#include "platform/comm/net/tcp_socket.h"
#include "platform/comm/net/telnet.h"

namespace comm::net {

// How long an open or a change of settings waits for the server.
constexpr std::chrono::seconds kServerTimeout{5};

// The outcome of an open or of a change of settings, the reason in words.
struct LineResult {
    DWORD error = ERROR_SUCCESS;
    unsigned refusedParts = 0;  // LineParts the server answered differently or not at all
    std::string reason;
};

class ServerConnection {
public:
    // Connects and, for RFC 2217, negotiates the option and binary
    // transmission both ways (refused without it), asks for line and modem
    // notifications and for the server's signature. A cancelFd other than -1
    // that becomes readable ends the open's waits (not later ones); so does
    // the program's end (kernel/ending.h), for every wait.
    static std::unique_ptr<ServerConnection> Open(const NetAddress& address, LineResult& result, int cancelFd = -1);
    // What a wait for the server that was ended early returns.
    static LineResult Cancelled();
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // For poll(): readable means Receive has work; WantsWrite says to wait
    // for POLLOUT as well.
    int Descriptor() const { return m_fd; }
    bool WantsWrite() const { return !m_out.empty(); }
    // Data that arrived while the settings waited for answers: take it with
    // Receive before sleeping on the descriptor.
    bool HasInput() const { return !m_input.data.empty(); }

    // Appends the data that arrived (nothing when none did) and takes in the
    // server's notifications; false once the connection has ended.
    bool Receive(Bytes& data);
    // Offers data to the server: the count taken, 0 while the socket is full
    // or the server asked to suspend output.
    size_t Send(const std::uint8_t* data, size_t length);
    // Everything taken has left the socket, on its way to the server.
    bool Sent() const { return Unsent() == 0; }
    // Bytes taken (as framed) that have not left the socket.
    DWORD Unsent() const;
    // Bytes taken (as framed) that the server has not acknowledged; once the
    // connection has ended, those that may never have reached it.
    DWORD Unacknowledged() const;
    bool Ended() const { return m_ended; }
    // The last read of the socket found nothing to read.
    bool Drained() const { return m_drained; }

    // Sets the server's line to asked, all or nothing: when the server
    // answers any part differently, kept is set again and the parts are
    // refused; parts left unanswered are told as such (ERROR_TIMEOUT), and a
    // server that answers nothing is not waited for again. Raw TCP keeps the
    // settings on the server: nothing is sent. A cancelFd other than -1 that
    // becomes readable ends the wait.
    LineResult ApplyDcb(const DCB& asked, const DCB& kept, int cancelFd = -1);
    // The server's frame and flow control as they are now, into dcb; what
    // the server does not tell stays as it was. Raw TCP tells nothing. Waits
    // until the open's time runs out: a server that answers none of it in
    // that time fails. A cancelFd other than -1 that becomes readable ends the wait.
    LineResult ReadSettings(DCB& dcb, int cancelFd = -1);
    // SET-CONTROL for DTR, RTS and break; answers are not awaited.
    void Control(ControlValue value);
    // PURGE-DATA on the server's buffers (its received data for input).
    void Purge(bool input, bool output);

    // The line errors and events told since the last call.
    LineReport TakeLineReport();
    DWORD TakeModemEvents();
    std::uint8_t ModemState() const { return m_modemState; }
    bool Suspended() const { return m_suspended; }
    // "rfc2217://host:port", and the server's signature once told (as sent:
    // make it visible before showing it).
    std::string Address() const { return NetAddressText(m_address); }
    const std::string& Signature() const { return m_signature; }

private:
    ServerConnection(int fd, NetAddress address);

    bool Rfc2217() const { return m_address.protocol == NetAddress::Protocol::Rfc2217; }
    // Reads the socket once; false once it has ended.
    bool ReadSocket();
    void Take(const ServerMessage& message);
    void Flush();
    void Queue(const ComPortRequest& request);
    // Sends the requests and waits until the deadline for the answers to
    // those that have a part; answers holds them, answered or not.
    LineResult Ask(const std::vector<ComPortRequest>& requests, std::vector<Answer>& answers, Clock::time_point deadline);
    // ApplyDcb's work, while m_cancelFd is set.
    LineResult SetLine(const DCB& asked, const DCB& kept);
    // Waits for the socket until the deadline; false when the time ran out,
    // the connection ended or the open was cancelled.
    bool WaitForServer(Clock::time_point deadline);
    LineResult Negotiate(Clock::time_point deadline);
    // The server answered nothing to any Telnet option asked.
    bool NothingNegotiated() const;
    // Why the open failed when the server closed the connection during it.
    std::string ClosedReason();
    // Ends the connection with the reason, dropping what waits here.
    void Drop(const char* reason);
    std::string EndText() const;

    const int m_fd;
    const NetAddress m_address;
    int m_cancelFd = -1;   // while an open or a read of the settings waits
    bool m_cancelled = false;  // a wait was ended by m_cancelFd or the program's end
    bool m_silent = false;     // a whole round of settings went unanswered
    Clock::time_point m_openDeadline{};
    std::string m_endReason;   // why this side ended the connection
    TelnetParser m_parser;
    TelnetInput m_input;   // parsed and not yet handed on
    Bytes m_out;           // framed bytes the socket has not taken yet
    bool m_ended = false;
    bool m_dataHandedOn = false;  // Receive has been called: what is read is the line's data
    bool m_drained = false;
    bool m_suspended = false;
    std::vector<Answer> m_asked;  // what Ask waits for, in order
    LineReport m_lineReport;
    DWORD m_modemEvents = 0;
    std::uint8_t m_modemState = 0;
    std::string m_signature;
};

}  // namespace comm::net
