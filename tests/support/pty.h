// A pseudo-terminal pair for tests: the test holds the master side and plays
// the far end of the serial line; the program opens the slave as its device.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/kernel/background_close.h"

namespace testsupport {

class Pty {
public:
    Pty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            throw std::runtime_error("cannot create a pseudo-terminal");
        char name[128];
        if (ptsname_r(m_master, name, sizeof name) != 0) throw std::runtime_error("ptsname_r failed");
        m_slavePath = name;
    }
    // The ports this process closed put their lines back first: a close that
    // found the master gone would keep its line for the next pty at the path.
    ~Pty() {
        kernel::WaitForBackgroundCloses();
        CloseMaster();
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    // The device name the program opens: \\.\ followed by the slave's path.
    std::string DeviceName() const { return "\\\\.\\" + m_slavePath; }
    int Master() const { return m_master; }

    // Maps COMn to this pty for the rest of the process (ZANDREL_COMn).
    void MapAs(int comNumber) const {
        setenv(("ZANDREL_COM" + std::to_string(comNumber)).c_str(), m_slavePath.c_str(), 1);
    }

    // Raw before the program opens the line, so nothing sent early is echoed
    // or translated by the default line discipline. False if it cannot be set.
    bool MakeRaw() const {
        termios raw{};
        if (tcgetattr(m_master, &raw) != 0) return false;
        cfmakeraw(&raw);
        return tcsetattr(m_master, TCSANOW, &raw) == 0;
    }

    void Send(const std::string& bytes) const {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n < 0) throw std::runtime_error("write to pty master failed");
            done += static_cast<size_t>(n);
        }
    }

    // Reads until `count` bytes arrived or the time-out elapsed; returns what came.
    std::string Receive(size_t count, int timeoutMs = 2000) const {
        std::string got;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buf[4096];
            ssize_t n = ::read(m_master, buf, std::min(sizeof buf, count - got.size()));
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

    // Whatever arrives within the given time.
    std::string ReceiveFor(int milliseconds) const { return Receive(1u << 30, milliseconds); }

    void CloseMaster() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};

}  // namespace testsupport
