// How long what was written to a line takes to send: for the close that lets
// the line send what it holds.
#pragma once

#include "platform/comm/timeout_rules.h"

namespace comm {

// One character on the line: start bit, data bits, parity and stop bits.
Clock::duration CharacterTime(const DCB& dcb);

// How long what was written takes to send, at the least: a line sends no
// faster than one character a character time.
class LineBacklog {
public:
    void Written(size_t count, Clock::time_point now, Clock::duration characterTime);
    Clock::duration Left(Clock::time_point now) const;

private:
    Clock::duration m_left{};
    Clock::time_point m_at{};
};

}  // namespace comm
