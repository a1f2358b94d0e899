#include "platform/comm/net/server_watch.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/comm/dcb_rules.h"

namespace comm::net {
namespace {

// How long a try's line waits for the job to take it: the job asks about
// once a second.
constexpr std::chrono::seconds kKept = kServerTimeout;

OpenedConnection OpenConnection(const NetAddress& address, int cancelFd) {
    OpenedConnection opened;
    opened.dcb = DefaultDcb();
    opened.connection = ServerConnection::Open(address, opened.result, cancelFd);
    if (opened.connection) opened.result = opened.connection->ReadSettings(opened.dcb, cancelFd);
    if (opened.result.error != ERROR_SUCCESS) opened.connection.reset();
    return opened;
}

// A failure that says nothing is there to answer: refused, not found,
// unreachable, no answer in time, or the connection ended at once.
bool Away(const OpenedConnection& opened) {
    const DWORD error = opened.result.error;
    return !opened.connection && (error == ERROR_FILE_NOT_FOUND || error == ERROR_TIMEOUT || error == ERROR_DEVICE_NOT_CONNECTED);
}

class ServerWatch {
public:
    ServerWatch() : m_cancel(eventfd(0, EFD_CLOEXEC)) {}
    // Tries under way end at once, and are joined.
    ~ServerWatch() {
        std::unique_lock held(m_lock);
        m_closing = true;
        eventfd_write(m_cancel, 1);
        m_changed.notify_all();
        for (auto& [key, server] : m_servers) {
            std::thread thread = std::move(server.thread);
            held.unlock();
            if (thread.joinable()) thread.join();
            held.lock();
        }
        held.unlock();
        close(m_cancel);
    }

    void Lost(const std::string& key) {
        std::lock_guard held(m_lock);
        m_servers[key].lost = true;
    }

    bool Answering(const NetAddress& address, std::string& signature) {
        signature.clear();
        std::unique_lock held(m_lock);
        auto found = m_servers.find(NetAddressText(address));
        if (found == m_servers.end() || !found->second.lost) return true;
        Server& server = found->second;
        if (server.trying) return false;
        if (server.outcome && !Away(*server.outcome)) {
            if (server.outcome->connection) signature = server.outcome->connection->Signature();
            return true;
        }
        // Nothing reached it yet: a new try, after the last one has let go.
        server.outcome.reset();
        server.trying = true;
        m_changed.notify_all();
        std::thread last = std::move(server.thread);
        held.unlock();
        if (last.joinable()) last.join();
        std::thread next;
        try {
            next = std::thread(&ServerWatch::Try, this, std::ref(server), address);
        } catch (const std::system_error&) {
            // No thread to be had now; asked again, it tries again.
        }
        held.lock();
        server.thread = std::move(next);
        if (!server.thread.joinable()) {
            server.trying = false;
            m_changed.notify_all();
        }
        return false;
    }

    OpenedConnection Open(const NetAddress& address, int cancelFd) {
        std::unique_lock held(m_lock);
        auto found = m_servers.find(NetAddressText(address));
        if (found != m_servers.end()) {
            Server& server = found->second;
            const bool waited = server.trying;
            m_changed.wait(held, [&] { return !server.trying; });
            // A failure to reach it is news only from the try waited for.
            if (server.outcome && (waited || !Away(*server.outcome))) return Take(server);
            server.outcome.reset();
        }
        held.unlock();
        OpenedConnection opened = OpenConnection(address, cancelFd);
        held.lock();
        if (found != m_servers.end() && opened.connection) found->second.lost = false;
        return opened;
    }

private:
    struct Server {
        bool lost = false;    // since its connection ended, and until it is opened again
        bool trying = false;  // a try under way, its outcome not in yet
        std::optional<OpenedConnection> outcome;
        std::thread thread;   // the last try, holding its outcome until taken or stale
    };

    OpenedConnection Take(Server& server) {
        OpenedConnection taken = std::move(*server.outcome);
        server.outcome.reset();
        if (taken.connection) server.lost = false;
        m_changed.notify_all();
        return taken;
    }

    void Try(Server& server, NetAddress address) {
        OpenedConnection opened = OpenConnection(address, m_cancel);
        std::unique_lock held(m_lock);
        server.trying = false;
        const bool away = Away(opened);
        server.outcome = std::move(opened);
        m_changed.notify_all();
        if (away) return;  // nothing to hold for the job
        m_changed.wait_for(held, kKept, [&] { return !server.outcome || m_closing; });
        // Not taken in time: the server is let go, and looked for again when asked.
        std::optional<OpenedConnection> stale = std::move(server.outcome);
        server.outcome.reset();
        held.unlock();
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<std::string, Server> m_servers;  // by address text; never removed, so a try's Server stays
    const int m_cancel;  // readable once closing: the tries' waits end
    bool m_closing = false;
};

ServerWatch& Watch() {
    static ServerWatch watch;
    return watch;
}

}  // namespace

void ServerLost(const std::string& addressText) { Watch().Lost(addressText); }

bool ServerAnswering(const NetAddress& address, std::string& signature) { return Watch().Answering(address, signature); }

OpenedConnection OpenServer(const NetAddress& address, int cancelFd) { return Watch().Open(address, cancelFd); }

}  // namespace comm::net
