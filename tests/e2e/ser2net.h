// The real ser2net (Debian's, the engine most port servers run) on 127.0.0.1
// in front of a device, started again at the same port when a test asks.
#pragma once

#include <signal.h>
#include <sys/inotify.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "e2e/child_process.h"
#include "e2e/file_watch.h"
#include "support/free_port.h"

namespace e2e {

constexpr const char* kSer2net = "/usr/sbin/ser2net";

class Ser2net {
public:
    // accepter: "telnet(rfc2217),tcp" or "tcp"; settings: "9600n81".
    Ser2net(const std::string& accepter, const std::string& device, const std::string& settings,
            std::filesystem::path dir)
        : m_port(testsupport::FreePort()), m_dir(std::move(dir)) {
        std::ofstream(Config()) << "%YAML 1.1\n---\nconnection: &c1\n  accepter: " << accepter << ",127.0.0.1,"
                                << m_port << "\n  connector: serialdev," << device << "," << settings << ",local\n";
        Start();
    }

    // Ready once it has written its pid file, which it does after it listens.
    bool Start() {
        const std::filesystem::path pidFile = m_dir / "ser2net.pid";
        std::filesystem::remove(pidFile);
        FileWatch watch(m_dir.string(), IN_CLOSE_WRITE | IN_MOVED_TO);
        m_process = std::make_unique<ChildProcess>(
            kSer2net, std::vector<std::string>{"ser2net", "-n", "-u", "-P", pidFile.string(), "-c", Config()},
            ChildProcess::Environment{}, m_dir.string());
        m_ready = watch.WaitUntil([&] { return !ReadFile(pidFile.string()).empty(); }, 10000);
        return m_ready;
    }

    // Killed as a crash or a power cut would: no goodbye to its clients.
    void Kill() {
        m_process->Signal(SIGKILL);
        m_process->WaitForExit(10000);
    }

    bool Ready() const { return m_ready; }
    const std::string& Port() const { return m_port; }
    std::string Output() const { return m_process->Output() + m_process->Errors(); }

private:
    std::string Config() const { return (m_dir / "ser2net.yaml").string(); }

    std::string m_port;
    std::filesystem::path m_dir;
    std::unique_ptr<ChildProcess> m_process;
    bool m_ready = false;
};

}  // namespace e2e
