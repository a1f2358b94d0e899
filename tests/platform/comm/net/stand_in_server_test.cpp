// What ser2net 4.3.11 cannot show: it sends no NOTIFY-LINESTATE, never asks
// to suspend output, and answers every rate as asked. A small server stands
// in for it here, speaking RFC 2217 as the RFC says from a script
// (support/rfc2217_stand_in.h).
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "platform/comm/dcb_rules.h"
#include "server_connection_fixture.h"
#include "support/rfc2217_stand_in.h"

namespace {

using namespace nettest;
using namespace comm::net;

using testsupport::Rfc2217StandIn;

// A connection to the stand-in, scripted: it meets the client with preamble and
// answers nothing by itself (manner, when given, says more). At address, by
// default its own.
std::unique_ptr<ServerConnection> OpenConnection(Rfc2217StandIn& server, const Bytes& preamble, LineResult& result,
                                                 std::optional<NetAddress> address = {}) {
    server.MeetWith(Rfc2217StandIn::Scripted(preamble));
    return ServerConnection::Open(address.value_or(*ParseNetAddress(server.Address())), result);
}

const Bytes kAgrees{kIac, kDo, 44, kIac, kDo, 0, kIac, kWill, 0};

TEST(StandInServer, LineStateModemStateAndSuspendAreTold) {
    Rfc2217StandIn server;
    LineResult result;
    auto line = OpenConnection(server, kAgrees, result);
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
    Rfc2217StandIn server;
    LineResult result;
    auto line = OpenConnection(server, kAgrees, result);
    ASSERT_TRUE(line) << result.reason;
    const DCB kept = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    const DCB asked = Frame(14400, 7, EVENPARITY, ONESTOPBIT);
    // The rate set differently, the rest as asked, with data from the line
    // between the answers; then the line put back as it was.
    std::thread script([&] {
        EXPECT_TRUE(server.Await(Sub({1, 0, 0, 0x38, 0x40})));
        for (const Bytes& answer : {Sub({101, 0, 0, 0x25, 0x80}), Bytes{'d', kIac, kIac}, Sub({102, 7}), Sub({103, 3}),
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
    EXPECT_EQ(result.reason, server.Address() + " cannot take 14400 baud, kept 9600 8N1");
    // What arrived meanwhile waits for the next read.
    EXPECT_TRUE(line->HasInput());
    Bytes data;
    line->Receive(data);
    EXPECT_EQ(data, (Bytes{'d', kIac, 'e'}));
}

// A server that says nothing to the settings: told as not answering, not as
// refusing, and not waited for a second time.
TEST(StandInServer, SettingsLeftUnansweredAreToldAsNotAnsweredWithinTheTime) {
    Rfc2217StandIn server;
    LineResult result;
    auto line = OpenConnection(server, kAgrees, result);
    ASSERT_TRUE(line) << result.reason;
    const DCB kept = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    const auto asked = Clock::now();
    result = line->ApplyDcb(Frame(19200, 8, NOPARITY, ONESTOPBIT), kept);
    EXPECT_LT(Clock::now() - asked, kServerTimeout + std::chrono::seconds(1));
    EXPECT_EQ(result.error, ERROR_TIMEOUT);
    EXPECT_EQ(result.reason, server.Address() +
                                 " was asked for 19200 baud, 8 data bits, no parity and 1 stop bit: the server did not "
                                 "answer within 5 s; kept 9600 8N1");
    const auto again = Clock::now();
    EXPECT_EQ(line->ApplyDcb(kept, kept).reason, "the server did not answer within 5 s");
    EXPECT_LT(Clock::now() - again, std::chrono::milliseconds(100));
}

// A server that sends on and on while the settings wait for its answers,
// data or negotiation it does not read the replies to: dropped once past the
// bound, and told, not followed.
TEST(StandInServer, AServerThatSendsTooMuchWithoutAnsweringIsDropped) {
    Rfc2217StandIn::Manner data = Rfc2217StandIn::Scripted(kAgrees), negotiation = data;
    data.flood = Bytes(4096, 'd');
    negotiation.flood = Bytes{kIac, kDo, 1, kIac, kDo, 1, kIac, kDo, 1, kIac, kDo, 1};
    negotiation.reads = false;
    for (const auto& [kind, flooding] : {std::pair{"data", data}, std::pair{"negotiation", negotiation}}) {
        // One that reads nothing fills the connection's buffers with a little, not megabytes: the
        // bound is reached as soon on a slow build (a sanitizer's) as on a fast one.
        Rfc2217StandIn server(!flooding.reads);
        server.MeetWith(flooding);
        LineResult result;
        auto line = ServerConnection::Open(*ParseNetAddress(server.Address()), result);
        ASSERT_TRUE(line) << result.reason;
        DCB dcb = Frame(9600, 8, NOPARITY, ONESTOPBIT);
        const auto asked = Clock::now();
        result = line->ReadSettings(dcb);
        EXPECT_LT(Clock::now() - asked, kServerTimeout) << kind;
        EXPECT_EQ(result.reason, "the server sent too much without answering") << kind;
        EXPECT_TRUE(line->Ended()) << kind;
    }
}

TEST(StandInServer, ControlAndPurgeReachTheServer) {
    Rfc2217StandIn server;
    LineResult result;
    auto line = OpenConnection(server, kAgrees, result);
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
    Rfc2217StandIn ipv6(false, Rfc2217StandIn::Family::Ipv6);
    LineResult result;
    EXPECT_TRUE(OpenConnection(ipv6, kAgrees, result, ParseNetAddress("rfc2217://[::1]:" + ipv6.Port()))) << result.reason;
    Rfc2217StandIn ipv4;
    EXPECT_TRUE(OpenConnection(ipv4, kAgrees, result, ParseNetAddress("rfc2217://localhost:" + ipv4.Port()))) << result.reason;
}

TEST(StandInServer, AnOpenThatFailsSaysWhy) {
    Rfc2217StandIn refusing;
    LineResult result;
    EXPECT_FALSE(OpenConnection(refusing, {kIac, kDont, 44, kIac, kWont, 0}, result));
    EXPECT_EQ(result.error, ERROR_NOT_SUPPORTED);
    EXPECT_EQ(result.reason, "server does not offer RFC 2217");

    // A server in text mode may alter what passes: its bytes could not be trusted.
    for (const Bytes& textMode : {Bytes{kIac, kDo, 44, kIac, kDont, 0, kIac, kWont, 0}, Bytes{kIac, kDo, 44, kIac, kDo, 0, kIac, kWont, 0}}) {
        Rfc2217StandIn refusingBinary;
        EXPECT_FALSE(OpenConnection(refusingBinary, textMode, result));
        EXPECT_EQ(result.error, ERROR_NOT_SUPPORTED);
        EXPECT_EQ(result.reason, "the server does not accept binary transmission");
    }

    EXPECT_FALSE(ServerConnection::Open({NetAddress::Protocol::Rfc2217, "127.0.0.1", FreePort()}, result));
    EXPECT_EQ(result.reason, "connection refused");

    EXPECT_FALSE(ServerConnection::Open({NetAddress::Protocol::Rfc2217, "no-such-host.invalid", "2217"}, result));
    EXPECT_EQ(result.reason, "host not found");

    // ser2net's answer to a second client (its words with a title sequence of their own), then a close.
    Rfc2217StandIn busy;
    const std::string words = "\r\nPort already in use\x1B]0;x\x07\r\n";
    std::thread turnAway([&] { busy.Drop(false); });
    EXPECT_FALSE(OpenConnection(busy, {words.begin(), words.end()}, result));
    turnAway.join();
    EXPECT_EQ(result.reason, "the server closed the connection, saying: Port already in use\\x1B]0;x\\x07");

    Rfc2217StandIn silent;  // it takes the connection and says nothing, as a raw port does
    EXPECT_FALSE(OpenConnection(silent, {}, result));
    EXPECT_EQ(result.error, ERROR_TIMEOUT);
    EXPECT_EQ(result.reason, "no answer to the RFC 2217 negotiation within 5 s; if the server gives the line as raw "
                             "TCP, use tcp://127.0.0.1:" + ParseNetAddress(silent.Address())->port);

    Rfc2217StandIn other;  // a Telnet server that takes no option and then says no more
    EXPECT_FALSE(OpenConnection(other, {kIac, kWont, 0}, result));
    EXPECT_EQ(result.reason, "no answer to the RFC 2217 negotiation within 5 s");
}

}  // namespace
