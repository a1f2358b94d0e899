// RFC 2217 as the client speaks it: the requests a DCB becomes, and what the
// server's subnegotiations mean.
#include <gtest/gtest.h>

#include <optional>

#include "platform/comm/dcb_rules.h"
#include "platform/comm/net/com_port_option.h"
#include "server_connection_fixture.h"

namespace {

using namespace comm::net;
using nettest::Frame;
using nettest::Sub;

Bytes Wire(const std::vector<ComPortRequest>& requests) {
    Bytes out;
    for (const ComPortRequest& request : requests) {
        const Bytes framed = Encode(request);
        out.insert(out.end(), framed.begin(), framed.end());
    }
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST(ComPortRequests, ADcbBecomesItsFrameFlowControlAndModemLines) {
    DCB xonxoff = Frame(14400, 7, EVENPARITY, ONE5STOPBITS);
    xonxoff.fOutX = xonxoff.fInX = 1;
    xonxoff.fDtrControl = DTR_CONTROL_DISABLE;
    DCB hardware = Frame(0x1FF, 8, SPACEPARITY, TWOSTOPBITS);  // 0xFF in the rate is doubled
    hardware.fOutxCtsFlow = 1;
    hardware.fRtsControl = RTS_CONTROL_HANDSHAKE;
    struct Case {
        DCB dcb;
        Bytes wire;
    };
    const std::vector<Case> cases = {
        {Frame(9600, 8, NOPARITY, ONESTOPBIT),
         Join({Sub({1, 0, 0, 0x25, 0x80}), Sub({2, 8}), Sub({3, 1}), Sub({4, 1}), Sub({5, 1}), Sub({5, 8}), Sub({5, 11})})},
        {xonxoff,
         Join({Sub({1, 0, 0, 0x38, 0x40}), Sub({2, 7}), Sub({3, 3}), Sub({4, 3}), Sub({5, 2}), Sub({5, 9}), Sub({5, 11})})},
        // RTS is the server's under hardware flow control.
        {hardware, Join({Sub({1, 0, 0, 1, kIac, kIac}), Sub({2, 8}), Sub({3, 5}), Sub({4, 2}), Sub({5, 3}), Sub({5, 8})})},
        {Frame(115200, 5, ODDPARITY, ONESTOPBIT),
         Join({Sub({1, 0, 1, 0xC2, 0}), Sub({2, 5}), Sub({3, 2}), Sub({4, 1}), Sub({5, 1}), Sub({5, 8}), Sub({5, 11})})},
    };
    for (const Case& c : cases) EXPECT_EQ(Wire(DcbRequests(c.dcb)), c.wire) << c.dcb.BaudRate;

    // Only the frame and flow control are awaited; the modem lines are not.
    unsigned awaited = 0;
    for (const ComPortRequest& request : DcbRequests(xonxoff)) awaited |= request.part;
    EXPECT_EQ(awaited, comm::kPartBaud | comm::kPartDataBits | comm::kPartParity | comm::kPartStopBits | comm::kPartOther);
    EXPECT_EQ(DcbRequests(xonxoff).back().part, 0u);
}

// The answers to SettingsQueries, in its order, each answered or not.
std::vector<Answer> Answers(std::initializer_list<std::optional<Bytes>> values) {
    std::vector<Answer> answers;
    const std::vector<ComPortRequest> queries = SettingsQueries();
    size_t i = 0;
    for (const std::optional<Bytes>& value : values) {
        answers.push_back({queries[i++], value.has_value(), value.value_or(Bytes{})});
    }
    return answers;
}

TEST(ComPortSettings, TheServersAnswersGiveItsFrameAndWhatNoLineHasIsIgnored) {
    auto withXonXoff = [](DCB dcb) {
        dcb.fOutX = dcb.fInX = 1;
        return dcb;
    };
    const DCB before = withXonXoff(Frame(9600, 8, NOPARITY, ONESTOPBIT));
    DCB hardware = Frame(9600, 8, NOPARITY, ONESTOPBIT);
    hardware.fOutxCtsFlow = 1;
    hardware.fRtsControl = RTS_CONTROL_HANDSHAKE;
    struct Case {
        const char* what;
        std::vector<Answer> answers;
        DCB expected;
    };
    const std::vector<Case> cases = {
        {"as ser2net answers its 9600n81", Answers({Bytes{0, 0, 0x25, 0x80}, Bytes{8}, Bytes{1}, Bytes{1}, Bytes{1}}),
         Frame(9600, 8, NOPARITY, ONESTOPBIT)},
        {"another frame", Answers({Bytes{0, 0, 0x4B, 0}, Bytes{7}, Bytes{3}, Bytes{2}, Bytes{2}}),
         withXonXoff(Frame(19200, 7, EVENPARITY, TWOSTOPBITS))},
        {"hardware flow control", Answers({Bytes{0, 0, 0x25, 0x80}, Bytes{8}, Bytes{1}, Bytes{1}, Bytes{3}}), hardware},
        {"1.5 stop bits, the rest untold", Answers({std::nullopt, Bytes{5}, Bytes{5}, Bytes{3}, std::nullopt}),
         withXonXoff(Frame(9600, 5, SPACEPARITY, ONE5STOPBITS))},
        {"nothing a line has", Answers({Bytes{0, 0, 0, 0}, Bytes{9}, Bytes{6}, Bytes{4}, Bytes{4}}), before},
        {"malformed", Answers({Bytes{0x25, 0x80}, Bytes{}, Bytes{1, 1}, std::nullopt, Bytes{0}}), before},
    };
    for (const Case& c : cases) {
        DCB dcb = before;
        DcbFromAnswers(c.answers, dcb);
        EXPECT_EQ(dcb.BaudRate, c.expected.BaudRate) << c.what;
        EXPECT_EQ(dcb.ByteSize, c.expected.ByteSize) << c.what;
        EXPECT_EQ(dcb.Parity, c.expected.Parity) << c.what;
        EXPECT_EQ(dcb.StopBits, c.expected.StopBits) << c.what;
        EXPECT_EQ(dcb.fOutX, c.expected.fOutX) << c.what;
        EXPECT_EQ(dcb.fInX, c.expected.fInX) << c.what;
        EXPECT_EQ(dcb.fOutxCtsFlow, c.expected.fOutxCtsFlow) << c.what;
        EXPECT_EQ(dcb.fRtsControl, c.expected.fRtsControl) << c.what;
    }
}

TEST(ComPortMessages, TheServersSubnegotiationsDecode) {
    using Kind = ServerMessage::Kind;
    struct Case {
        Bytes sub;
        Kind kind;
        std::uint8_t command;
        Bytes value;
        std::uint8_t state;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{101, 0, 0, 0x38, 0x40}, Kind::Answer, kSetBaudRate, {0, 0, 0x38, 0x40}, 0, ""},
        {{105, 2}, Kind::Answer, kSetControl, {2}, 0, ""},
        {{112, 3}, Kind::Answer, kPurgeData, {3}, 0, ""},
        {{106, 0x1E}, Kind::LineState, 0, {}, 0x1E, ""},
        {{107, 0x31}, Kind::ModemState, 0, {}, 0x31, ""},
        {{108}, Kind::Suspend, 0, {}, 0, ""},
        {{109}, Kind::Resume, 0, {}, 0, ""},
        {{100, 's', 'e', 'r', 0x1B}, Kind::Signature, 0, {}, 0, "ser\x1B"},
        {{106}, Kind::Unknown, 0, {}, 0, ""},   // a notification without its state
        {{113, 1}, Kind::Unknown, 0, {}, 0, ""},
        {{5, 1}, Kind::Unknown, 0, {}, 0, ""},  // a client's command, not the server's
        {{}, Kind::Unknown, 0, {}, 0, ""},
    };
    for (const Case& c : cases) {
        const ServerMessage message = DecodeServerMessage(c.sub);
        const int first = c.sub.empty() ? -1 : c.sub[0];
        EXPECT_EQ(message.kind, c.kind) << first;
        EXPECT_EQ(message.command, c.command) << first;
        EXPECT_EQ(message.value, c.value) << first;
        EXPECT_EQ(message.state, c.state) << first;
        EXPECT_EQ(message.text, c.text) << first;
    }
}

TEST(ComPortMessages, LineAndModemStatesAreTheEventsOfALocalPort) {
    struct Case {
        std::uint8_t state;
        DWORD errors;
        DWORD events;
    };
    const std::vector<Case> lineCases = {
        {0x00, 0, 0},
        {0x61, 0, 0},  // data ready, transmitter empty: no error
        {kLineBreak, CE_BREAK, EV_BREAK},
        {kLineFraming, CE_FRAME, EV_ERR},
        {kLineParity, CE_RXPARITY, EV_ERR},
        {kLineOverrun, CE_OVERRUN, EV_ERR},
        {kLineErrorMask, CE_BREAK | CE_FRAME | CE_RXPARITY | CE_OVERRUN, EV_BREAK | EV_ERR},
    };
    for (const Case& c : lineCases) {
        const LineReport report = LineStateReport(c.state);
        EXPECT_EQ(report.errors, c.errors) << int(c.state);
        EXPECT_EQ(report.events, c.events) << int(c.state);
    }
    EXPECT_EQ(ModemStateEvents(0xF0), 0u);  // lines up, none changed
    EXPECT_EQ(ModemStateEvents(0x0F), DWORD{EV_CTS | EV_DSR | EV_RING | EV_RLSD});
}

}  // namespace
