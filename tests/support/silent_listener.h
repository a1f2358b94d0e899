// A TCP listener on the loopback that can fall silent: once its accept queue
// is full, the kernel drops every further SYN unanswered, so a client's
// connect hangs as it does towards a host whose packets are dropped.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace testsupport {

class SilentListener {
public:
    SilentListener() {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        // Backlog 0: one connection waiting to be accepted fills the queue.
        if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(m_listener, 0) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the listener cannot listen");
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener() {
        for (int fd : {m_client, m_filler, m_listener})
            if (fd >= 0) close(fd);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    std::string Address(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(m_port); }

    // Takes the client's connection; false when none came within the time.
    bool Accept(int timeoutMs) {
        pollfd waiting{m_listener, POLLIN, 0};
        if (poll(&waiting, 1, timeoutMs) != 1) return false;
        m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        return m_client >= 0;
    }
    bool Send(const std::string& bytes) const {
        return send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

    // Fills the accept queue with a connection of its own, then ends the
    // client's: the client's next connect is never answered.
    void FallSilent() {
        m_filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Loopback(m_port);
        if (connect(m_filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("the listener's queue cannot be filled");
        close(m_client);
        m_client = -1;
    }

    // Whether a connect to this port waits for an answer (SYN-SENT), looked
    // at until the time runs out: the kernel tells of no such change.
    bool ConnectWaiting(int timeoutMs) const {
        char port[8];
        std::snprintf(port, sizeof port, ":%04X", m_port);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            std::ifstream table("/proc/net/tcp");
            std::string local, remote, state, line;
            std::getline(table, line);  // the heading
            while (table >> line >> local >> remote >> state && std::getline(table, line))
                if (remote.ends_with(port) && state == "02") return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }

private:
    static sockaddr_in Loopback(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    int m_listener = -1;
    int m_client = -1;
    int m_filler = -1;
    std::uint16_t m_port = 0;
};

}  // namespace testsupport
