// RFC 2217 (Telnet COM-PORT-OPTION) as a client speaks it: the requests a DCB
// becomes, and what the server's subnegotiations mean.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/comm/net/telnet.h"
#include "platform/win32.h"

namespace comm::net {

// Client command codes; the server answers with the code + 100.
enum ComPortCommand : std::uint8_t {
    kSignature = 0,
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kNotifyLineState = 6,
    kNotifyModemState = 7,
    kFlowControlSuspend = 8,
    kFlowControlResume = 9,
    kSetLineStateMask = 10,
    kSetModemStateMask = 11,
    kPurgeData = 12,
};
constexpr std::uint8_t kServerOffset = 100;

// SET-CONTROL values.
enum ControlValue : std::uint8_t {
    kFlowNone = 1,
    kFlowXonXoff = 2,
    kFlowHardware = 3,
    kBreakOn = 5,
    kBreakOff = 6,
    kDtrOn = 8,
    kDtrOff = 9,
    kRtsOn = 11,
    kRtsOff = 12,
};

// PURGE-DATA values: the server's receive buffer, its transmit buffer, both.
enum PurgeValue : std::uint8_t { kPurgeReceive = 1, kPurgeTransmit = 2, kPurgeBoth = 3 };

// NOTIFY-LINESTATE bits we ask for and turn into line errors.
constexpr std::uint8_t kLineOverrun = 0x02;
constexpr std::uint8_t kLineParity = 0x04;
constexpr std::uint8_t kLineFraming = 0x08;
constexpr std::uint8_t kLineBreak = 0x10;
constexpr std::uint8_t kLineErrorMask = kLineOverrun | kLineParity | kLineFraming | kLineBreak;

// NOTIFY-MODEMSTATE bits: the lines in the high half, their changes in the low.
constexpr std::uint8_t kModemDeltaCts = 0x01;
constexpr std::uint8_t kModemDeltaDsr = 0x02;
constexpr std::uint8_t kModemRingEnded = 0x04;
constexpr std::uint8_t kModemDeltaCd = 0x08;
constexpr std::uint8_t kModemCts = 0x10;
constexpr std::uint8_t kModemDsr = 0x20;
constexpr std::uint8_t kModemCd = 0x80;
constexpr std::uint8_t kModemAll = 0xFF;

// One request: the command and its value as sent (before 0xFF doubling).
struct ComPortRequest {
    std::uint8_t command;
    Bytes value;
    unsigned part;  // the LinePart a different answer refuses; 0: the answer is not awaited
};

// The whole subnegotiation on the wire.
Bytes Encode(const ComPortRequest& request);

ComPortRequest BaudRateRequest(DWORD baudRate);
ComPortRequest ControlRequest(ControlValue value);  // not awaited

// The requests that set a DCB's frame, flow control, DTR and RTS, in order.
std::vector<ComPortRequest> DcbRequests(const DCB& dcb);

// A request and the value the server answered it with (answered false while
// it has said nothing).
struct Answer {
    ComPortRequest request;
    bool answered = false;
    Bytes value;
};

// The parts whose answer is missing or differs from what was asked.
unsigned RefusedParts(const std::vector<Answer>& answers);
// The parts whose answer is missing; whether none was answered at all.
unsigned UnansweredParts(const std::vector<Answer>& answers);
bool AllUnanswered(const std::vector<Answer>& answers);

// Questions for the server's frame and flow control as they are now (RFC
// 2217's value 0), awaited like the requests that set them.
std::vector<ComPortRequest> SettingsQueries();

// Sets dcb's frame and flow control from the answers to SettingsQueries; a
// field the server did not answer, or answered with what no line has, stays.
void DcbFromAnswers(const std::vector<Answer>& answers, DCB& dcb);

// A subnegotiation from the server, decoded.
struct ServerMessage {
    enum class Kind { Answer, LineState, ModemState, Suspend, Resume, Signature, Unknown };
    Kind kind = Kind::Unknown;
    std::uint8_t command = 0;  // Answer: the client command it answers
    Bytes value;               // Answer: the value the server set
    std::uint8_t state = 0;    // LineState, ModemState
    std::string text;          // Signature, as sent (not yet safe to show)
};
ServerMessage DecodeServerMessage(const Bytes& subnegotiation);

// The CE_ bits and EV_ events a local port gives for these line-state bits.
struct LineReport {
    DWORD errors = 0;
    DWORD events = 0;
};
LineReport LineStateReport(std::uint8_t state);
// The EV_ events for the modem lines' changes.
DWORD ModemStateEvents(std::uint8_t state);

}  // namespace comm::net
