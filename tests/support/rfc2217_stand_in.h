// A port server standing in for what ser2net 4.3.11 never does: it sends
// line-state notifications, asks to suspend and resume output, can stop
// reading, and can be told how to meet each connection: what it says it is,
// whether it takes binary transmission, which requests it answers, whether it
// drops the connection when the first setting arrives or resets it at a
// given request, what it floods the client with. It speaks RFC 2217 as
// the RFC says, on a thread of its own: it agrees to the option, answers each
// request with the value asked (a question, value 0, with 9600 8N1 and no
// flow control), and keeps the data. A connection that ends, or that it
// drops, is followed by the next one. A test can also script it: meet the
// client with a preamble of its own, answer nothing by itself, send what
// the test says and wait for what the client sends. Its parser is its own,
// not the client's under test.
#pragma once

#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class Rfc2217StandIn {
public:
    using Bytes = std::vector<std::uint8_t>;
    static constexpr std::uint8_t IAC = 255, SB = 250, SE = 240, WILL = 251, WONT = 252, DO = 253, DONT = 254,
                                  OPTION = 44, BINARY = 0;
    // What it says it is, with what a terminal would act on.
    static constexpr char kSignature[] = "stand-in\x1B[2J";

    // How the server meets a connection.
    struct Manner {
        std::string signature = kSignature;  // empty: tells none
        bool binary = true;                  // agrees to BINARY both ways, else refuses it
        bool answersQuestions = true;        // answers requests with value 0 (what is set now)
        bool answersSettings = true;         // answers requests that set a value
        bool dropsAtFirstSetting = false;    // closes the connection when a value is to be set
        int resetsAtRequest = -1;            // resets it when the client's request with this index (from 0) arrives
        Bytes flood;                         // sent again and again from the start, whatever the client does
        bool reads = true;                   // false: reads nothing the client sends
        std::optional<Bytes> preamble;       // sent at the start instead of agreeing (empty: nothing)
    };
    // Answering nothing by itself, meeting the client with preamble: the test says the rest.
    static Manner Scripted(const Bytes& preamble) {
        Manner scripted;
        scripted.signature.clear();
        scripted.answersQuestions = scripted.answersSettings = false;
        scripted.preamble = preamble;
        return scripted;
    }

    // On the IPv4 or the IPv6 loopback.
    enum class Family { Ipv4, Ipv6 };
    // smallReceiveBuffer: as small as the kernel allows, for a server that stops reading.
    explicit Rfc2217StandIn(bool smallReceiveBuffer = false, Family family = Family::Ipv4)
        : m_host(family == Family::Ipv6 ? "[::1]" : "127.0.0.1") {
        const bool ipv6 = family == Family::Ipv6;
        m_listener = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        sockaddr_in6 address{};  // room for either
        socklen_t length = ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (ipv6) {
            address.sin6_family = AF_INET6;
            address.sin6_addr = in6addr_loopback;
        } else {
            auto& in = reinterpret_cast<sockaddr_in&>(address);
            in.sin_family = AF_INET;
            in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
        const int smallest = 1;  // accepted sockets inherit it
        if ((smallReceiveBuffer && setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest) != 0) ||
            bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(m_listener, 4) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the stand-in server cannot listen");
        // The port is at the same place in both kinds of address.
        m_port = std::to_string(ntohs(address.sin6_port));
        m_thread = std::thread(&Rfc2217StandIn::Serve, this);
    }
    ~Rfc2217StandIn() {
        {
            std::lock_guard lock(m_lock);
            m_done = true;
        }
        Wake();
        m_thread.join();
        if (m_client >= 0) close(m_client);
        close(m_listener);
        close(m_wake);
    }

    std::string Address() const { return "rfc2217://" + m_host + ":" + m_port; }
    const std::string& Port() const { return m_port; }

    // How the connections from now on are met.
    void MeetWith(const Manner& manner) {
        std::lock_guard lock(m_lock);
        m_manner = manner;
    }

    // A subnegotiation to the client: IAC SB 44 value IAC SE.
    void Notify(std::initializer_list<std::uint8_t> value) {
        Bytes out{IAC, SB, OPTION};
        out.insert(out.end(), value);
        out.insert(out.end(), {IAC, SE});
        SendToClient(out);
    }
    // Data to the client, as the line received it (no 0xFF in it).
    void SendData(const std::string& data) { SendToClient(Bytes(data.begin(), data.end())); }
    // Bytes to the client as they stand.
    void Send(const Bytes& bytes) { SendToClient(bytes); }

    // Waits until needle is among the bytes the client sent, after where the
    // last call found one; false when it does not come within a generous time.
    bool Await(const Bytes& needle) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [&] {
            const auto at = std::search(m_seen.begin() + m_searched, m_seen.end(), needle.begin(), needle.end());
            if (at == m_seen.end()) return false;
            m_searched = static_cast<size_t>(at - m_seen.begin()) + needle.size();
            return true;
        });
    }

    // From now on nothing more is read: the client's data backs up.
    void StopReading() {
        std::lock_guard lock(m_lock);
        m_reading = false;
    }

    // Waits until count data bytes have come (at most a generous time); what came.
    Bytes Received(size_t count) {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_data.size() >= count; });
        return m_data;
    }

    // Waits (at most a generous time) until the client has acknowledged all
    // that was sent, then ends the connection: with a reset (RST) or a close
    // (FIN). The next connection is met as MeetWith said.
    bool Drop(bool reset) {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [&] { return m_client >= 0; });
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int unacknowledged = 0;
        // The kernel tells of no such change: looked at until it is so.
        while (ioctl(m_client, SIOCOUTQ, &unacknowledged) == 0 && unacknowledged > 0 &&
               std::chrono::steady_clock::now() < until) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            lock.lock();
        }
        if (reset) ResetClientLocked();
        else EndClientLocked();
        m_changed.notify_all();
        Wake();
        return unacknowledged == 0;
    }

    // How many connections have been accepted, and whether one is open now.
    int Connections() {
        std::lock_guard lock(m_lock);
        return m_connections;
    }
    bool Connected() {
        std::lock_guard lock(m_lock);
        return m_client >= 0;
    }
    // Waits until count connections have been accepted (at most a generous time).
    bool AwaitConnections(int count) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_connections >= count; });
    }

private:
    void Wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(m_wake, &one, sizeof one);
    }

    void SendToClient(const Bytes& bytes) {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [&] { return m_client >= 0; });
        SendLocked(bytes);
    }

    void SendLocked(const Bytes& bytes) {
        [[maybe_unused]] ssize_t sent = send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    void EndClientLocked() {
        close(m_client);
        m_client = -1;
        m_state = State::Data;
        m_requests = 0;
    }

    void ResetClientLocked() {
        const linger abort{1, 0};
        setsockopt(m_client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        EndClientLocked();
    }

    void AcceptLocked() {
        m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (m_client < 0) return;
        ++m_connections;
        m_met = m_manner;
        m_reading = m_met.reads;
        const std::uint8_t binaryWill = m_met.binary ? WILL : WONT, binaryDo = m_met.binary ? DO : DONT;
        const Bytes agrees{IAC, DO, OPTION, IAC, binaryDo, BINARY, IAC, binaryWill, BINARY};
        const Bytes preamble = m_met.preamble.value_or(agrees);
        if (!preamble.empty()) SendLocked(preamble);
    }

    void Serve() {
        for (;;) {
            pollfd fds[3] = {{m_wake, POLLIN, 0}, {m_listener, 0, 0}, {-1, 0, 0}};
            {
                std::lock_guard lock(m_lock);
                if (m_done) return;
                if (m_client < 0) fds[1].events = POLLIN;
                else fds[2] = {m_client, static_cast<short>((m_reading ? POLLIN : 0) | (m_met.flood.empty() ? 0 : POLLOUT)), 0};
            }
            poll(fds, 3, -1);
            if (fds[0].revents & POLLIN) {
                std::uint64_t count;
                [[maybe_unused]] ssize_t got = read(m_wake, &count, sizeof count);
            }
            std::lock_guard lock(m_lock);
            if (fds[1].revents & POLLIN) AcceptLocked();
            // The client may have been dropped since the poll.
            if ((fds[2].revents & POLLOUT) && m_client == fds[2].fd)
                [[maybe_unused]] ssize_t sent = send(m_client, m_met.flood.data(), m_met.flood.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (!(fds[2].revents & (POLLIN | POLLHUP | POLLERR)) || m_client != fds[2].fd) {
                m_changed.notify_all();
                continue;
            }
            std::uint8_t buffer[4096];
            const ssize_t count = read(m_client, buffer, sizeof buffer);
            if (count <= 0) {
                EndClientLocked();
            } else {
                m_seen.insert(m_seen.end(), buffer, buffer + count);
                for (ssize_t i = 0; i < count && m_client >= 0; ++i) Take(buffer[i]);
            }
            m_changed.notify_all();
        }
    }

    // One byte of what the client sent, with the lock held.
    void Take(std::uint8_t byte) {
        switch (m_state) {
            case State::Data:
                if (byte == IAC) m_state = State::Iac;
                else m_data.push_back(byte);
                break;
            case State::Iac:
                if (byte == IAC) m_data.push_back(byte), m_state = State::Data;
                else if (byte == SB) m_sub.clear(), m_state = State::Sub;
                else m_state = byte >= WILL ? State::Negotiation : State::Data;
                break;
            case State::Negotiation: m_state = State::Data; break;
            case State::Sub:
                if (byte == IAC) m_state = State::SubIac;
                else m_sub.push_back(byte);
                break;
            case State::SubIac:
                if (byte == IAC) {
                    m_sub.push_back(byte);
                    m_state = State::Sub;
                } else {
                    m_state = State::Data;
                    if (m_requests++ == m_met.resetsAtRequest) return ResetClientLocked();
                    Answer();
                }
                break;
        }
    }

    // Answers a request as the connection's manner says: the command + 100
    // and the value set.
    void Answer() {
        if (m_sub.size() < 2 || m_sub[0] != OPTION) return;
        const std::uint8_t command = m_sub[1];
        Bytes value(m_sub.begin() + 2, m_sub.end());
        const bool question = std::all_of(value.begin(), value.end(), [](std::uint8_t b) { return b == 0; });
        const bool setting = command >= 1 && command <= 5 && !question;
        if (setting && m_met.dropsAtFirstSetting) return EndClientLocked();
        if (command >= 1 && command <= 5 && !(question ? m_met.answersQuestions : m_met.answersSettings)) return;
        if (command == 0) {
            if (m_met.signature.empty()) return;
            value.assign(m_met.signature.begin(), m_met.signature.end());
        } else if (question && command == 1) {
            value = {0, 0, 0x25, 0x80};
        } else if (question && command >= 2 && command <= 5) {
            value = {static_cast<std::uint8_t>(command == 2 ? 8 : 1)};
        }
        Bytes out{IAC, SB, OPTION, static_cast<std::uint8_t>(command + 100)};
        for (std::uint8_t b : value) {
            out.push_back(b);
            if (b == IAC) out.push_back(IAC);
        }
        out.insert(out.end(), {IAC, SE});
        SendLocked(out);
    }

    enum class State { Data, Iac, Negotiation, Sub, SubIac };

    const std::string m_host;
    int m_listener = -1;
    int m_wake = -1;
    std::string m_port;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_client = -1;
    int m_connections = 0;
    int m_requests = 0;  // subnegotiations the client has sent on this connection
    bool m_done = false;
    bool m_reading = true;
    Manner m_manner;  // for the connections to come
    Manner m_met;     // the one this connection is met with
    State m_state = State::Data;
    Bytes m_sub;
    Bytes m_data;
    Bytes m_seen;         // all the client sent, as sent
    size_t m_searched = 0;  // where Await looks from
};

}  // namespace testsupport
