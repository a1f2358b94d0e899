// What ser2net 4.3.11 cannot show: it sends no NOTIFY-LINESTATE, never asks
// to suspend output, and answers every rate as asked. A small server stands
// in for it here, speaking RFC 2217 as the RFC says from a script.
#include <algorithm>
#include <functional>
#include <utility>
#include <thread>

#include "net_line_fixture.h"
#include "platform/comm/dcb_rules.h"

namespace {

using namespace nettest;
using namespace comm::net;

constexpr std::uint8_t IAC = kIac;

class StandInServer {
public:
    // On the IPv4 or the IPv6 loopback.
    enum class Family { Ipv4, Ipv6 };
    explicit StandInServer(Family family = Family::Ipv4) {
        const bool ipv6 = family == Family::Ipv6;
        m_listener = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_storage address{};
        socklen_t length = ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (ipv6) {
            auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
            in6.sin6_family = AF_INET6;
            in6.sin6_addr = in6addr_loopback;
        } else {
            auto& in = reinterpret_cast<sockaddr_in&>(address);
            in.sin_family = AF_INET;
            in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(m_listener, 1) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("the stand-in server cannot listen");
        const in_port_t port = ipv6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                    : reinterpret_cast<sockaddr_in&>(address).sin_port;
        m_port = std::to_string(ntohs(port));
        m_host = ipv6 ? "::1" : "127.0.0.1";
    }
    ~StandInServer() {
        if (m_client >= 0) close(m_client);
        close(m_listener);
    }

    NetAddress Address() const { return {NetAddress::Protocol::Rfc2217, m_host, m_port}; }

    // Opens a line to this server (at address, by default its own), which
    // answers the negotiation with preamble.
    std::unique_ptr<NetLine> OpenLine(const Bytes& preamble, LineResult& result) { return OpenLine(preamble, result, Address()); }
    std::unique_ptr<NetLine> OpenLine(const Bytes& preamble, LineResult& result, const NetAddress& address) {
        std::thread server([&] {
            m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            Send(preamble);
        });
        auto line = NetLine::Open(address, result);
        server.join();
        return line;
    }

    // Answers the open with words, then closes the connection, as a server turning a client away does.
    std::unique_ptr<NetLine> OpenLineTurnedAway(const Bytes& words, LineResult& result) {
        std::thread server([&] {
            const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            ASSERT_EQ(write(client, words.data(), words.size()), ssize_t(words.size()));
            close(client);
        });
        auto line = NetLine::Open(Address(), result);
        server.join();
        return line;
    }

    void Send(const Bytes& bytes) const { ASSERT_EQ(write(m_client, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Reads what the client sends until needle arrives after what an earlier
    // call found; false when it does not within a generous time.
    bool Await(const Bytes& needle) {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        for (;;) {
            const auto at = std::search(m_seen.begin() + m_searched, m_seen.end(), needle.begin(), needle.end());
            if (at != m_seen.end()) {
                m_searched = static_cast<size_t>(at - m_seen.begin()) + needle.size();
                return true;
            }
            pollfd waiting{m_client, POLLIN, 0};
            std::uint8_t buffer[4096];
            if (poll(&waiting, 1, MillisecondsUntil(deadline)) <= 0) return false;
            const ssize_t count = read(m_client, buffer, sizeof buffer);
            if (count <= 0) return false;
            m_seen.insert(m_seen.end(), buffer, buffer + count);
        }
    }

private:
    int m_listener = -1;
    int m_client = -1;
    std::string m_host;
    std::string m_port;
    Bytes m_seen;
    size_t m_searched = 0;
};

const Bytes kAgrees{IAC, kDo, 44, IAC, kDo, 0, IAC, kWill, 0};

TEST(StandInServer, LineStateModemStateAndSuspendAreTold) {
    StandInServer server;
    LineResult result;
    auto line = server.OpenLine(kAgrees, result);
    ASSERT_TRUE(line) << result.reason;
    Bytes data;

    server.Send(Sub({106, kLineBreak | kLineFraming}));
    server.Send(Sub({107, kModemCts | kModemDeltaCts}));
    server.Send(Sub({108}));
    ASSERT_TRUE(ReceiveUntil(*line, data, [&] { return line->Suspended(); }));
    const LineReport report = line->TakeLineReport();
    EXPECT_EQ(report.errors, DWORD{CE_BREAK | CE_FRAME});
    EXPECT_EQ(report.events, DWORD{EV_BREAK | EV_ERR});
    EXPECT_EQ(line->TakeLineReport().errors, 0u);  // told once
    EXPECT_EQ(line->TakeModemEvents(), DWORD{EV_CTS});
    EXPECT_EQ(line->ModemState(), kModemCts | kModemDeltaCts);

    const std::uint8_t byte = 'x';
    EXPECT_EQ(line->Send(&byte, 1), 0u);  // held while suspended
    server.Send(Sub({109}));
    ASSERT_TRUE(ReceiveUntil(*line, data, [&] { return !line->Suspended(); }));
    EXPECT_EQ(line->Send(&byte, 1), 1u);
    EXPECT_TRUE(server.Await({'x'}));
    EXPECT_TRUE(data.empty());
}

TEST(StandInServer, AnAnswerThatDiffersRefusesThatPartAndPutsTheLineBack) {
    StandInServer server;
    LineResult result;
    auto line = server.OpenLine(kAgrees, result);
    ASSERT_TRUE(line) << result.reason;
    const DCB kept = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    const DCB asked = Frame(14400, 7, EVENPARITY, ONESTOPBIT);
    // The rate set differently, the rest as asked, with data from the line
    // between the answers; then the line put back as it was.
    std::thread script([&] {
        EXPECT_TRUE(server.Await(Sub({1, 0, 0, 0x38, 0x40})));
        for (const Bytes& answer : {Sub({101, 0, 0, 0x25, 0x80}), Bytes{'d', IAC, IAC}, Sub({102, 7}), Sub({103, 3}),
                                    Sub({104, 1}), Bytes{'e'}, Sub({105, 1})})
            server.Send(answer);
        EXPECT_TRUE(server.Await(Sub({1, 0, 0, 0x25, 0x80}))) << "the kept rate was not set again";
        for (const Bytes& answer : {Sub({101, 0, 0, 0x25, 0x80}), Sub({102, 8}), Sub({103, 1}), Sub({104, 1}), Sub({105, 1})})
            server.Send(answer);
    });
    result = line->ApplyDcb(asked, kept);
    script.join();
    EXPECT_EQ(result.error, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(result.refusedParts, unsigned{comm::kPartBaud});
    EXPECT_EQ(result.reason, "rfc2217://127.0.0.1:" + server.Address().port + " cannot take 14400 baud, kept 9600 8N1");
    // What arrived meanwhile waits for the next read.
    EXPECT_TRUE(line->HasInput());
    Bytes data;
    line->Receive(data);
    EXPECT_EQ(data, (Bytes{'d', IAC, 'e'}));
}

TEST(StandInServer, ControlAndPurgeReachTheServer) {
    StandInServer server;
    LineResult result;
    auto line = server.OpenLine(kAgrees, result);
    ASSERT_TRUE(line) << result.reason;
    const std::vector<std::pair<std::function<void()>, Bytes>> steps = {
        {[&] { line->Control(kBreakOn); }, Sub({5, 5})},
        {[&] { line->Control(kBreakOff); }, Sub({5, 6})},
        {[&] { line->Control(kDtrOff); }, Sub({5, 9})},
        {[&] { line->Control(kRtsOn); }, Sub({5, 11})},
        {[&] { line->Purge(true, false); }, Sub({12, 1})},
        {[&] { line->Purge(false, true); }, Sub({12, 2})},
        {[&] { line->Purge(true, true); }, Sub({12, 3})},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        steps[i].first();
        EXPECT_TRUE(server.Await(steps[i].second)) << "step " << i;
    }
}

TEST(StandInServer, ReachesServersByIpv6AddressAndByName) {
    StandInServer ipv6(StandInServer::Family::Ipv6);
    LineResult result;
    EXPECT_TRUE(ipv6.OpenLine(kAgrees, result, *ParseNetAddress("rfc2217://[::1]:" + ipv6.Address().port))) << result.reason;
    StandInServer ipv4;
    EXPECT_TRUE(ipv4.OpenLine(kAgrees, result, *ParseNetAddress("rfc2217://localhost:" + ipv4.Address().port))) << result.reason;
}

TEST(StandInServer, AnOpenThatFailsSaysWhy) {
    StandInServer refusing;
    LineResult result;
    EXPECT_FALSE(refusing.OpenLine({IAC, kDont, 44, IAC, kWont, 0}, result));
    EXPECT_EQ(result.error, ERROR_NOT_SUPPORTED);
    EXPECT_EQ(result.reason, "server does not offer RFC 2217");

    EXPECT_FALSE(NetLine::Open({NetAddress::Protocol::Rfc2217, "127.0.0.1", FreePort()}, result));
    EXPECT_EQ(result.reason, "connection refused");

    EXPECT_FALSE(NetLine::Open({NetAddress::Protocol::Rfc2217, "no-such-host.invalid", "2217"}, result));
    EXPECT_EQ(result.reason, "host not found");

    StandInServer busy;  // ser2net's answer to a second client, with a title sequence of its own
    const std::string words = "\r\nPort already in use\x1B]0;x\x07\r\n";
    EXPECT_FALSE(busy.OpenLineTurnedAway({words.begin(), words.end()}, result));
    EXPECT_EQ(result.reason, "the server closed the connection, saying: Port already in use\\x1B]0;x\\x07");

    StandInServer silent;  // the kernel takes the connection; nobody answers, as at a raw port
    EXPECT_FALSE(NetLine::Open(silent.Address(), result));
    EXPECT_EQ(result.error, ERROR_TIMEOUT);
    EXPECT_EQ(result.reason, "no answer to the RFC 2217 negotiation within 5 s; if the server gives the line as raw "
                             "TCP, use tcp://127.0.0.1:" + silent.Address().port);

    StandInServer other;  // a Telnet server that offers nothing and then says no more
    EXPECT_FALSE(other.OpenLine({IAC, kWont, 0}, result));
    EXPECT_EQ(result.reason, "no answer to the RFC 2217 negotiation within 5 s");
}

}  // namespace
