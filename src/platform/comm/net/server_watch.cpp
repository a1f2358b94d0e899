#include "platform/comm/net/server_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/comm/dcb_rules.h"
#include "platform/kernel/ending.h"

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
        for (auto& [key, server] : m_servers)
            if (server.ended >= 0) close(server.ended);
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
        if (server.ended < 0) server.ended = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        eventfd_t stale = 0;
        if (server.ended >= 0) eventfd_read(server.ended, &stale);
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
        if (!server.thread.joinable()) EndTry(server);
        return false;
    }

    OpenedConnection Open(const NetAddress& address, int cancelFd) {
        std::unique_lock held(m_lock);
        auto found = m_servers.find(NetAddressText(address));
        if (found != m_servers.end()) {
            Server& server = found->second;
            const bool waited = server.trying;
            if (!AwaitTry(server, held, cancelFd)) return {nullptr, {}, ServerConnection::Cancelled()};
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
        int ended = -1;       // readable once the last try has ended, for a wait that also polls
    };

    // Under the lock: the try is over, and whoever waits for it is told.
    void EndTry(Server& server) {
        server.trying = false;
        m_changed.notify_all();
        if (server.ended >= 0) eventfd_write(server.ended, 1);
    }

    // Until the try under way has ended; false when cancelFd (when not -1)
    // or the program's end came first.
    bool AwaitTry(Server& server, std::unique_lock<std::mutex>& held, int cancelFd) {
        if (cancelFd < 0 || server.ended < 0) {
            m_changed.wait(held, [&] { return !server.trying; });
            return true;
        }
        while (server.trying) {
            pollfd waiting[3] = {{server.ended, POLLIN, 0}, {cancelFd, POLLIN, 0}, {kernel::EndingFd(), POLLIN, 0}};
            held.unlock();
            const int ready = poll(waiting, 3, -1);
            held.lock();
            if (ready > 0 && (waiting[1].revents != 0 || waiting[2].revents != 0)) return false;
        }
        return true;
    }

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
        const bool away = Away(opened);
        server.outcome = std::move(opened);
        EndTry(server);
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
