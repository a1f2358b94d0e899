#include "serial/line_pace.h"

CLinePace::ENews CLinePace::Held() {
    m_nTakenInARow = 0;
    ++m_nHeld;
    if (!m_bBehind) {
        if (m_nHeld < BEHIND_AFTER_HELD) return NoNews;
        m_bBehind = true;
        m_bSlowerTold = m_bTookSinceHeld;
        return m_bTookSinceHeld ? Slower : NotTaking;
    }
    // A line that stopped and now trickles is slower, not stopped: said once.
    if (m_bTookSinceHeld && !m_bSlowerTold) {
        m_bSlowerTold = true;
        return Slower;
    }
    return NoNews;
}

CLinePace::ENews CLinePace::Took() {
    if (m_nHeld > 0) m_bTookSinceHeld = true;
    if (++m_nTakenInARow < KEPT_PACE_AFTER) return NoNews;
    const bool bWasBehind = m_bBehind;
    Reset();
    return bWasBehind ? TakingAgain : NoNews;
}
