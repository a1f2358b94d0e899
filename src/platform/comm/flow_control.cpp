// Flow control in the driver layer: XON/XOFF both ways, and CTS and DSR.
#include "platform/comm/flow_control.h"

#include <sys/ioctl.h>

#include <algorithm>

namespace comm {

size_t FlowControl::TakeFlowChars(BYTE* data, size_t length) {
    if (!m_dcb.fOutX) return length;
    auto xon = static_cast<BYTE>(m_dcb.XonChar);
    auto xoff = static_cast<BYTE>(m_dcb.XoffChar);
    bool stopped = m_xoffReceived;
    BYTE* kept = std::remove_if(data, data + length, [&](BYTE byte) {
        if (byte != xon && byte != xoff) return false;
        stopped = byte == xoff;  // the last one read counts
        return true;
    });
    m_xoffReceived = stopped;
    return static_cast<size_t>(kept - data);
}

void FlowControl::FollowQueue() {
    bool stop = m_dcb.fInX && (m_xoffSent ? m_input.Size() > m_dcb.XonLim : m_input.Free() <= m_dcb.XoffLim);
    // A character the line could not take now is tried at the next change of the queue.
    if (stop != m_xoffSent && m_line.SendFlowChar(stop)) m_xoffSent = stop;
}

// CTS is also held to by the kernel or the chip; holding here too keeps a
// USB chip's transmit buffer from filling behind a CTS that is off, as a
// Windows driver holds its output.
bool FlowControl::ReadStatusLines(bool lineUsable) {
    const bool wasStopped = m_ctsOff || m_dsrOff;
    const bool watched = (m_dcb.fOutxCtsFlow || m_dcb.fOutxDsrFlow) && lineUsable;
    const int lines = watched ? m_line.ModemLines() : ~0;
    // Until the driver knows CTS, the chip alone holds to it.
    m_ctsOff = m_dcb.fOutxCtsFlow && !(lines & TIOCM_CTS) && m_line.CtsKnown(lines);
    m_dsrOff = m_dcb.fOutxDsrFlow && !(lines & TIOCM_DSR);
    return wasStopped && !m_ctsOff && !m_dsrOff;
}

void FlowControl::SettingsChanged() {
    if (!m_dcb.fOutX) m_xoffReceived = false;
}

void FlowControl::FillHolds(COMSTAT& status, bool lineSuspended) const {
    status.fXoffHold = m_xoffReceived || lineSuspended;
    status.fXoffSent = m_xoffSent;
    status.fCtsHold = m_ctsOff;
    status.fDsrHold = m_dsrOff;
}

}  // namespace comm
