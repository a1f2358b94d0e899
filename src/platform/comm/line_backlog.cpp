#include "platform/comm/line_backlog.h"

#include <algorithm>

namespace comm {

Clock::duration CharacterTime(const DCB& dcb) {
    // In half bits, for 1.5 stop bits.
    const unsigned stopHalves = dcb.StopBits == ONE5STOPBITS ? 3 : dcb.StopBits == TWOSTOPBITS ? 4 : 2;
    const unsigned halves = 2 * (1 + dcb.ByteSize + (dcb.Parity != NOPARITY ? 1 : 0)) + stopHalves;
    const DWORD baud = std::max<DWORD>(dcb.BaudRate, 1);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(500'000'000ull * halves / baud));
}

void LineBacklog::Written(size_t count, Clock::time_point now, Clock::duration characterTime) {
    m_left = Left(now) + static_cast<Clock::rep>(count) * characterTime;
    m_at = now;
}

Clock::duration LineBacklog::Left(Clock::time_point now) const {
    return std::max(m_left - (now - m_at), Clock::duration::zero());
}

}  // namespace comm
