// Telnet framing (RFC 854) with option negotiation by RFC 1143's rules: data
// with 0xFF doubled, subnegotiations, and a parser that takes the stream cut
// anywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace comm::net {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;

constexpr std::uint8_t kOptionBinary = 0;
constexpr std::uint8_t kOptionComPort = 44;

// A subnegotiation's value longer than this is dropped whole: no option we
// take needs more (a signature is a short text).
constexpr std::size_t kMaxSubnegotiation = 256;

// Appends data with every 0xFF doubled.
void AppendEscaped(Bytes& out, const std::uint8_t* data, std::size_t length);

// IAC SB option value IAC SE, 0xFF in the value doubled.
void AppendSubnegotiation(Bytes& out, std::uint8_t option, const Bytes& value);

// What a piece of the peer's stream held.
struct TelnetInput {
    Bytes data;                       // the data bytes, unescaped
    std::vector<Bytes> comPort;       // COM-PORT-OPTION subnegotiations' values
    Bytes replies;                    // negotiation answers to send back
};

// The stream from the peer, fed in pieces as they arrive. We take BINARY and
// COM-PORT-OPTION both ways and refuse every other option: each request gets
// one answer, and an answer to ours gets none, so no two ends loop.
class TelnetParser {
public:
    // IAC WILL/DO BINARY and IAC WILL COM-PORT-OPTION, the requests that
    // open the connection; they are remembered as asked.
    Bytes Start();

    void Feed(const std::uint8_t* bytes, std::size_t length, TelnetInput& input);

    // Whether the peer agreed to (or refused) an option we asked for.
    enum class State : std::uint8_t { No, Yes, WantYes };
    State Us(std::uint8_t option) const { return m_us[option]; }
    State Him(std::uint8_t option) const { return m_him[option]; }

private:
    enum class Mode : std::uint8_t { Data, Command, Negotiate, SbOption, SbValue, SbIac };

    void Command(std::uint8_t byte, TelnetInput& input);
    void Negotiate(std::uint8_t verb, std::uint8_t option, Bytes& replies);
    void EndSubnegotiation(TelnetInput& input);

    Mode m_mode = Mode::Data;
    std::uint8_t m_verb = 0;
    std::uint8_t m_sbOption = 0;
    bool m_sbOverlong = false;
    Bytes m_sb;
    std::array<State, 256> m_us{};
    std::array<State, 256> m_him{};
};

}  // namespace comm::net
