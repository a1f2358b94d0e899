#include "platform/comm/net/telnet.h"

namespace comm::net {
namespace {

bool Taken(std::uint8_t option) { return option == kOptionBinary || option == kOptionComPort; }

void Reply(Bytes& replies, std::uint8_t verb, std::uint8_t option) {
    replies.insert(replies.end(), {kIac, verb, option});
}

}  // namespace

void AppendEscaped(Bytes& out, const std::uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(data[i]);
        if (data[i] == kIac) out.push_back(kIac);
    }
}

void AppendSubnegotiation(Bytes& out, std::uint8_t option, const Bytes& value) {
    out.insert(out.end(), {kIac, kSb, option});
    AppendEscaped(out, value.data(), value.size());
    out.insert(out.end(), {kIac, kSe});
}

Bytes TelnetParser::Start() {
    Bytes requests;
    for (std::uint8_t option : {kOptionBinary, kOptionComPort}) {
        m_us[option] = State::WantYes;
        Reply(requests, kWill, option);
    }
    m_him[kOptionBinary] = State::WantYes;
    Reply(requests, kDo, kOptionBinary);
    return requests;
}

void TelnetParser::Feed(const std::uint8_t* bytes, std::size_t length, TelnetInput& input) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t byte = bytes[i];
        switch (m_mode) {
            case Mode::Data:
                if (byte == kIac) m_mode = Mode::Command;
                else input.data.push_back(byte);
                break;
            case Mode::Command:
                Command(byte, input);
                break;
            case Mode::Negotiate:
                Negotiate(m_verb, byte, input.replies);
                m_mode = Mode::Data;
                break;
            case Mode::SbOption:
                m_sbOption = byte;
                m_sb.clear();
                m_sbOverlong = false;
                m_mode = Mode::SbValue;
                break;
            case Mode::SbValue:
                if (byte == kIac) {
                    m_mode = Mode::SbIac;
                } else if (m_sb.size() < kMaxSubnegotiation) {
                    m_sb.push_back(byte);
                } else {
                    m_sbOverlong = true;
                }
                break;
            case Mode::SbIac:
                if (byte == kIac) {
                    if (m_sb.size() < kMaxSubnegotiation) m_sb.push_back(kIac);
                    else m_sbOverlong = true;
                    m_mode = Mode::SbValue;
                } else if (byte == kSe) {
                    EndSubnegotiation(input);
                } else {
                    // A command where only IAC or SE may stand: the subnegotiation
                    // was cut short; drop it and take the command.
                    Command(byte, input);
                }
                break;
        }
    }
}

void TelnetParser::Command(std::uint8_t byte, TelnetInput& input) {
    switch (byte) {
        case kIac:
            input.data.push_back(kIac);
            m_mode = Mode::Data;
            break;
        case kWill:
        case kWont:
        case kDo:
        case kDont:
            m_verb = byte;
            m_mode = Mode::Negotiate;
            break;
        case kSb:
            m_mode = Mode::SbOption;
            break;
        default:  // NOP, GA, a stray SE and the like carry nothing for a serial line
            m_mode = Mode::Data;
            break;
    }
}

// RFC 1143 for options we never switch off: a request for a state we are
// not in is answered once; an answer to our own request, or a request for
// the state we are in, gets no reply.
void TelnetParser::Negotiate(std::uint8_t verb, std::uint8_t option, Bytes& replies) {
    const bool enable = verb == kWill || verb == kDo;
    const bool peerSide = verb == kWill || verb == kWont;
    State& state = peerSide ? m_him[option] : m_us[option];
    const std::uint8_t agree = peerSide ? kDo : kWill;
    const std::uint8_t refuse = peerSide ? kDont : kWont;
    switch (state) {
        case State::No:
            if (!enable) break;
            if (Taken(option)) {
                state = State::Yes;
                Reply(replies, agree, option);
            } else {
                Reply(replies, refuse, option);
            }
            break;
        case State::Yes:
            if (enable) break;
            state = State::No;
            Reply(replies, refuse, option);
            break;
        case State::WantYes:
            state = enable ? State::Yes : State::No;
            break;
    }
}

void TelnetParser::EndSubnegotiation(TelnetInput& input) {
    m_mode = Mode::Data;
    if (m_sbOverlong || m_sbOption != kOptionComPort) return;
    input.comPort.push_back(std::move(m_sb));
    m_sb.clear();
}

}  // namespace comm::net
