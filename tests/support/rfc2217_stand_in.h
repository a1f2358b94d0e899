// A port server standing in for what ser2net 4.3.11 never does: it sends
// line-state notifications, asks to suspend and resume output, and can stop
// reading. It speaks RFC 2217 as the RFC says, on a thread of its own: it
// agrees to the option, answers each request with the value asked (a
// question, value 0, with 9600 8N1 and no flow control), and keeps the data.
// Its parser is its own, not the client's under test.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class Rfc2217StandIn {
public:
    using Bytes = std::vector<std::uint8_t>;
    static constexpr std::uint8_t IAC = 255, SB = 250, SE = 240, WILL = 251, DO = 253, OPTION = 44;
    // What it says it is, with what a terminal would act on.
    static constexpr char kSignature[] = "stand-in\x1B[2J";

    // smallReceiveBuffer: as small as the kernel allows, for a server that stops reading.
    explicit Rfc2217StandIn(bool smallReceiveBuffer = false) {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        const int smallest = 1;  // accepted sockets inherit it
        if ((smallReceiveBuffer && setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest) != 0) ||
            bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(m_listener, 1) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the stand-in server cannot listen");
        m_port = std::to_string(ntohs(address.sin_port));
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

    std::string Address() const { return "rfc2217://127.0.0.1:" + m_port; }

    // A subnegotiation to the client: IAC SB 44 value IAC SE.
    void Notify(std::initializer_list<std::uint8_t> value) {
        Bytes out{IAC, SB, OPTION};
        out.insert(out.end(), value);
        out.insert(out.end(), {IAC, SE});
        SendToClient(out);
    }
    // Data to the client, as the line received it (no 0xFF in it).
    void SendData(const std::string& data) { SendToClient(Bytes(data.begin(), data.end())); }

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

    void Serve() {
        pollfd listening[2] = {{m_listener, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(listening, 2, -1) <= 0 || !(listening[0].revents & POLLIN)) return;
        {
            std::lock_guard lock(m_lock);
            m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            SendLocked({IAC, DO, OPTION, IAC, DO, 0, IAC, WILL, 0});
        }
        m_changed.notify_all();
        for (;;) {
            bool reading;
            {
                std::lock_guard lock(m_lock);
                if (m_done) return;
                reading = m_reading;
            }
            pollfd fds[2] = {{m_wake, POLLIN, 0}, {m_client, static_cast<short>(reading ? POLLIN : 0), 0}};
            poll(fds, 2, -1);
            if (fds[0].revents & POLLIN) {
                std::uint64_t count;
                [[maybe_unused]] ssize_t got = read(m_wake, &count, sizeof count);
            }
            if (!(fds[1].revents & POLLIN)) continue;
            std::uint8_t buffer[4096];
            const ssize_t count = read(m_client, buffer, sizeof buffer);
            if (count <= 0) return;
            std::lock_guard lock(m_lock);
            for (ssize_t i = 0; i < count; ++i) Take(buffer[i]);
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
                    Answer();
                    m_state = State::Data;
                }
                break;
        }
    }

    // Answers a request: the command + 100 and the value set.
    void Answer() {
        if (m_sub.size() < 2 || m_sub[0] != OPTION) return;
        const std::uint8_t command = m_sub[1];
        Bytes value(m_sub.begin() + 2, m_sub.end());
        const bool question = std::all_of(value.begin(), value.end(), [](std::uint8_t b) { return b == 0; });
        if (command == 0) value.assign(kSignature, kSignature + sizeof kSignature - 1);
        else if (question && command == 1) value = {0, 0, 0x25, 0x80};
        else if (question && command >= 2 && command <= 5) value = {static_cast<std::uint8_t>(command == 2 ? 8 : 1)};
        Bytes out{IAC, SB, OPTION, static_cast<std::uint8_t>(command + 100)};
        for (std::uint8_t b : value) {
            out.push_back(b);
            if (b == IAC) out.push_back(IAC);
        }
        out.insert(out.end(), {IAC, SE});
        SendLocked(out);
    }

    enum class State { Data, Iac, Negotiation, Sub, SubIac };

    int m_listener = -1;
    int m_wake = -1;
    std::string m_port;
    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_client = -1;
    bool m_done = false;
    bool m_reading = true;
    State m_state = State::Data;
    Bytes m_sub;
    Bytes m_data;
};

}  // namespace testsupport
