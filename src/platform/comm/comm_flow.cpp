// Flow control in the driver layer: XON/XOFF both ways, and CTS and DSR.
// All of it runs with the device lock held.
#include <sys/ioctl.h>

#include <algorithm>

#include "platform/comm/comm_device.h"

namespace comm {

size_t CommDevice::TakeFlowChars(BYTE* data, size_t length) {
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

void CommDevice::UpdateInputFlow() {
    if (m_hungUp) return;
    bool stop = m_dcb.fInX && (m_xoffSent ? m_input.Size() > m_dcb.XonLim : m_input.Free() <= m_dcb.XoffLim);
    // A character the line could not take now is tried at the next change of the queue.
    if (stop != m_xoffSent && SendFlowChar(m_fd, stop)) m_xoffSent = stop;
}

// CTS is also held to by the kernel or the chip; holding here too keeps a
// USB chip's transmit buffer from filling behind a CTS that is off, as a
// Windows driver holds its output.
void CommDevice::ReadStatusLines() {
    const bool wasStopped = m_ctsOff || m_dsrOff;
    const bool watched = (m_dcb.fOutxCtsFlow || m_dcb.fOutxDsrFlow) && !m_hungUp;
    const int lines = watched ? ModemLines(m_fd) : ~0;
    m_ctsOff = m_dcb.fOutxCtsFlow && !(lines & TIOCM_CTS);
    m_dsrOff = m_dcb.fOutxDsrFlow && !(lines & TIOCM_DSR);
    if (wasStopped && !m_ctsOff && !m_dsrOff) Wake();  // held writes go on
}

void CommDevice::FillHolds(COMSTAT& status) const {
    status.fXoffHold = m_xoffReceived;
    status.fXoffSent = m_xoffSent;
    status.fCtsHold = m_ctsOff;
    status.fDsrHold = m_dsrOff;
}

void CommDevice::FollowLatency() {
    bool wanted = m_dcb.fOutX && m_traits.latencyTimer && !m_hungUp;
    if (wanted == m_latencyLowered) return;
    if (!wanted) {
        SetLowLatency(m_fd, false);
        m_latencyLowered = false;
    } else if (!LowLatency(m_fd)) {
        m_latencyLowered = SetLowLatency(m_fd, true);
    }
}

}  // namespace comm
