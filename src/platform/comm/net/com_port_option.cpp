#include "platform/comm/net/com_port_option.h"

#include <algorithm>

#include "platform/comm/dcb_rules.h"

namespace comm::net {
namespace {

std::uint8_t StopSizeCode(BYTE stopBits) {
    switch (stopBits) {
        case ONE5STOPBITS: return 3;
        case TWOSTOPBITS: return 2;
        default: return 1;
    }
}

ControlValue FlowControl(const DCB& dcb) {
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) return kFlowHardware;
    if (dcb.fOutX || dcb.fInX) return kFlowXonXoff;
    return kFlowNone;
}

ComPortRequest Single(std::uint8_t command, std::uint8_t value, unsigned part) { return {command, {value}, part}; }

// One answer's field into the DCB, when it is one a line can have.
void TakeAnswer(std::uint8_t command, const Bytes& value, DCB& dcb) {
    if (command == kSetBaudRate) {
        if (value.size() != 4) return;
        const DWORD baud = DWORD{value[0]} << 24 | DWORD{value[1]} << 16 | DWORD{value[2]} << 8 | value[3];
        if (baud != 0) dcb.BaudRate = baud;
        return;
    }
    if (value.size() != 1) return;
    const std::uint8_t code = value[0];
    switch (command) {
        case kSetDataSize:
            if (code >= 5 && code <= 8) dcb.ByteSize = code;
            break;
        case kSetParity:
            if (code >= 1 && code <= 5) dcb.Parity = code - 1;
            break;
        case kSetStopSize:
            if (code >= 1 && code <= 3) dcb.StopBits = code == 1 ? ONESTOPBIT : code == 2 ? TWOSTOPBITS : ONE5STOPBITS;
            break;
        case kSetControl:
            if (code < kFlowNone || code > kFlowHardware) break;
            dcb.fOutX = dcb.fInX = code == kFlowXonXoff;
            dcb.fOutxCtsFlow = code == kFlowHardware;
            if (code == kFlowHardware) dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
            else if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) dcb.fRtsControl = RTS_CONTROL_ENABLE;
            break;
        default: break;
    }
}

}  // namespace

Bytes Encode(const ComPortRequest& request) {
    Bytes value(1 + request.value.size());
    value[0] = request.command;
    std::copy(request.value.begin(), request.value.end(), value.begin() + 1);
    Bytes out;
    AppendSubnegotiation(out, kOptionComPort, value);
    return out;
}

ComPortRequest BaudRateRequest(DWORD baudRate) {
    return {kSetBaudRate,
            {static_cast<std::uint8_t>(baudRate >> 24), static_cast<std::uint8_t>(baudRate >> 16),
             static_cast<std::uint8_t>(baudRate >> 8), static_cast<std::uint8_t>(baudRate)},
            kPartBaud};
}

ComPortRequest ControlRequest(ControlValue value) { return Single(kSetControl, value, 0); }

std::vector<ComPortRequest> DcbRequests(const DCB& dcb) {
    const ControlValue flow = FlowControl(dcb);
    std::vector<ComPortRequest> requests{
        BaudRateRequest(dcb.BaudRate),
        Single(kSetDataSize, dcb.ByteSize, kPartDataBits),
        // RFC 2217 numbers parity as the DCB does, from 1 (the DCB was validated).
        Single(kSetParity, static_cast<std::uint8_t>(dcb.Parity + 1), kPartParity),
        Single(kSetStopSize, StopSizeCode(dcb.StopBits), kPartStopBits),
        Single(kSetControl, flow, kPartOther),
        // Modem lines are asked for, not awaited: a server whose port has
        // none (ser2net in front of a pty) leaves them unanswered.
        ControlRequest(dcb.fDtrControl == DTR_CONTROL_DISABLE ? kDtrOff : kDtrOn),
    };
    // With hardware flow control RTS is the server's to drive.
    if (flow != kFlowHardware) requests.push_back(ControlRequest(dcb.fRtsControl == RTS_CONTROL_DISABLE ? kRtsOff : kRtsOn));
    return requests;
}

unsigned RefusedParts(const std::vector<Answer>& answers) {
    unsigned refused = 0;
    for (const Answer& answer : answers)
        if (!answer.answered || answer.value != answer.request.value) refused |= answer.request.part;
    return refused;
}

unsigned UnansweredParts(const std::vector<Answer>& answers) {
    unsigned unanswered = 0;
    for (const Answer& answer : answers)
        if (!answer.answered) unanswered |= answer.request.part;
    return unanswered;
}

bool AllUnanswered(const std::vector<Answer>& answers) {
    return std::none_of(answers.begin(), answers.end(), [](const Answer& answer) { return answer.answered; });
}

std::vector<ComPortRequest> SettingsQueries() {
    return {{kSetBaudRate, {0, 0, 0, 0}, kPartBaud}, Single(kSetDataSize, 0, kPartDataBits), Single(kSetParity, 0, kPartParity),
            Single(kSetStopSize, 0, kPartStopBits), Single(kSetControl, 0, kPartOther)};
}

void DcbFromAnswers(const std::vector<Answer>& answers, DCB& dcb) {
    for (const Answer& answer : answers)
        if (answer.answered) TakeAnswer(answer.request.command, answer.value, dcb);
}

ServerMessage DecodeServerMessage(const Bytes& subnegotiation) {
    ServerMessage message;
    if (subnegotiation.empty() || subnegotiation[0] < kServerOffset) return message;
    const std::uint8_t command = subnegotiation[0] - kServerOffset;
    const Bytes value(subnegotiation.begin() + 1, subnegotiation.end());
    using Kind = ServerMessage::Kind;
    switch (command) {
        case kSignature:
            message.kind = Kind::Signature;
            message.text.assign(value.begin(), value.end());
            break;
        case kNotifyLineState:
        case kNotifyModemState:
            if (value.size() != 1) break;
            message.kind = command == kNotifyLineState ? Kind::LineState : Kind::ModemState;
            message.state = value[0];
            break;
        case kFlowControlSuspend: message.kind = Kind::Suspend; break;
        case kFlowControlResume: message.kind = Kind::Resume; break;
        default:
            if (command > kPurgeData) break;
            message.kind = Kind::Answer;
            message.command = command;
            message.value = value;
            break;
    }
    return message;
}

LineReport LineStateReport(std::uint8_t state) {
    LineReport report;
    if (state & kLineBreak) {
        report.errors |= CE_BREAK;
        report.events |= EV_BREAK;
    }
    if (state & kLineFraming) report.errors |= CE_FRAME;
    if (state & kLineParity) report.errors |= CE_RXPARITY;
    if (state & kLineOverrun) report.errors |= CE_OVERRUN;
    if (state & (kLineFraming | kLineParity | kLineOverrun)) report.events |= EV_ERR;
    return report;
}

DWORD ModemStateEvents(std::uint8_t state) {
    DWORD events = 0;
    if (state & kModemDeltaCts) events |= EV_CTS;
    if (state & kModemDeltaDsr) events |= EV_DSR;
    if (state & kModemDeltaCd) events |= EV_RLSD;
    if (state & kModemRingEnded) events |= EV_RING;
    return events;
}

}  // namespace comm::net
