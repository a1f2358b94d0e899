// The Telnet codec: 0xFF doubling both ways, sequences cut anywhere, bounded
// subnegotiations, and negotiation that answers each request once.
#include <gtest/gtest.h>

#include "platform/comm/net/telnet.h"

namespace {

using namespace comm::net;

constexpr std::uint8_t IAC = kIac, SB = kSb, SE = kSe, WILL = kWill, WONT = kWont, DO = kDo, DONT = kDont;

TEST(TelnetFraming, DoublesEveryIacInDataAndInValues) {
    const Bytes data{1, IAC, 2, IAC, IAC};
    Bytes escaped;
    AppendEscaped(escaped, data.data(), data.size());
    EXPECT_EQ(escaped, (Bytes{1, IAC, IAC, 2, IAC, IAC, IAC, IAC}));

    Bytes framed;
    AppendSubnegotiation(framed, kOptionComPort, {1, 0, 0, IAC});
    EXPECT_EQ(framed, (Bytes{IAC, SB, 44, 1, 0, 0, IAC, IAC, IAC, SE}));
}

// Feeds the stream whole, a byte at a time, and cut in two at every point:
// the result is the same each way.
std::vector<TelnetInput> EveryCut(const Bytes& stream) {
    std::vector<TelnetInput> results;
    auto feed = [&](const std::vector<size_t>& cuts) {
        TelnetParser parser;
        TelnetInput input;
        size_t at = 0;
        for (size_t cut : cuts) {
            parser.Feed(stream.data() + at, cut - at, input);
            at = cut;
        }
        results.push_back(std::move(input));
    };
    feed({stream.size()});
    std::vector<size_t> bytewise;
    for (size_t i = 1; i <= stream.size(); ++i) bytewise.push_back(i);
    feed(bytewise);
    for (size_t cut = 1; cut < stream.size(); ++cut) feed({cut, stream.size()});
    return results;
}

TEST(TelnetParser, GivesTheSameWhereverTheStreamIsCut) {
    const Bytes overlong = [] {
        Bytes b{IAC, SB, 44, 100 + 0};
        b.insert(b.end(), kMaxSubnegotiation + 1, 'x');
        b.insert(b.end(), {IAC, SE});
        return b;
    }();
    struct Case {
        const char* what;
        Bytes stream;
        Bytes data;
        std::vector<Bytes> comPort;
        Bytes replies;
    };
    const std::vector<Case> cases = {
        {"plain data", {'a', 0, 'b'}, {'a', 0, 'b'}, {}, {}},
        {"doubled IAC is one data byte", {'a', IAC, IAC, 'b', IAC, IAC}, {'a', IAC, 'b', IAC}, {}, {}},
        {"a line-state notification between data", {'a', IAC, SB, 44, 106, 0x10, IAC, SE, 'b'}, {'a', 'b'}, {{106, 0x10}}, {}},
        {"a doubled IAC inside a value", {IAC, SB, 44, 101, 0, 0, IAC, IAC, IAC, SE}, {}, {{101, 0, 0, IAC}}, {}},
        {"another option's subnegotiation is dropped", {IAC, SB, 24, 1, IAC, SE, 'z'}, {'z'}, {}, {}},
        {"NOP and GA carry nothing", {'a', IAC, 241, 'b', IAC, 249}, {'a', 'b'}, {}, {}},
        {"an over-long value is dropped whole and the next one read",
         [&] {
             Bytes b = overlong;
             b.insert(b.end(), {'d', IAC, SB, 44, 108, 1, IAC, SE});
             return b;
         }(),
         {'d'}, {{108, 1}}, {}},
        {"a command inside a value cuts it short and is taken",
         {IAC, SB, 44, 106, 1, IAC, WILL, 3, 'e'}, {'e'}, {}, {IAC, DONT, 3}},
        {"requests for other options are refused", {IAC, WILL, 1, IAC, DO, 24}, {}, {}, {IAC, DONT, 1, IAC, WONT, 24}},
    };
    for (const Case& c : cases) {
        for (const TelnetInput& input : EveryCut(c.stream)) {
            EXPECT_EQ(input.data, c.data) << c.what;
            EXPECT_EQ(input.comPort, c.comPort) << c.what;
            EXPECT_EQ(input.replies, c.replies) << c.what;
        }
    }
}

// What a sequence of the peer's negotiation gets back, one step at a time.
TEST(TelnetNegotiation, AnswersEachRequestOnceAndNeverAnAnswer) {
    struct Step {
        Bytes from;
        Bytes replies;
    };
    const std::vector<Step> steps = {
        {{IAC, WILL, 3}, {IAC, DONT, 3}},  // refused
        {{IAC, WONT, 3}, {}},              // its answer to our refusal: no reply, no loop
        {{IAC, WILL, 3}, {IAC, DONT, 3}},  // asked again: refused again, once
        {{IAC, DO, 1}, {IAC, WONT, 1}},
        {{IAC, DONT, 1}, {}},
        {{IAC, DO, 44}, {}},               // agrees to what we asked: nothing more to say
        {{IAC, WILL, 0}, {}},
        {{IAC, DO, 0}, {}},
        {{IAC, DO, 0}, {}},                // already so
        {{IAC, WILL, 44}, {IAC, DO, 44}},  // taken, though we did not ask
        {{IAC, WONT, 0}, {IAC, DONT, 0}},  // switched off: acknowledged once
        {{IAC, WONT, 0}, {}},
        {{IAC, WILL, 0}, {IAC, DO, 0}},    // and on again
    };
    TelnetParser parser;
    EXPECT_EQ(parser.Start(), (Bytes{IAC, WILL, 0, IAC, WILL, 44, IAC, DO, 0}));
    for (size_t i = 0; i < steps.size(); ++i) {
        TelnetInput input;
        parser.Feed(steps[i].from.data(), steps[i].from.size(), input);
        EXPECT_EQ(input.replies, steps[i].replies) << "step " << i;
        EXPECT_TRUE(input.data.empty()) << "step " << i;
    }
    EXPECT_EQ(parser.Us(kOptionComPort), TelnetParser::State::Yes);
    EXPECT_EQ(parser.Him(kOptionBinary), TelnetParser::State::Yes);
}

TEST(TelnetNegotiation, ARefusedComPortOptionIsNotAskedAgain) {
    TelnetParser parser;
    parser.Start();
    const Bytes refusal{IAC, DONT, 44, IAC, DONT, 44};
    TelnetInput input;
    parser.Feed(refusal.data(), refusal.size(), input);
    EXPECT_EQ(parser.Us(kOptionComPort), TelnetParser::State::No);
    EXPECT_TRUE(input.replies.empty());
}

}  // namespace
