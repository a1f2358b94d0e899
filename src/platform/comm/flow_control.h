// Flow control as a Windows serial driver does it where the kernel does not:
// XON/XOFF both ways, and output held while CTS or DSR is off. It reads the
// device's settings and queue, and speaks on the device's line. The device
// calls it with its lock held, and lets it touch the line only while the line
// is usable.
#pragma once

#include <cstddef>

#include "platform/comm/input_queue.h"
#include "platform/comm/line.h"
#include "platform/win32.h"

namespace comm {

class FlowControl {
public:
    FlowControl(const DCB& dcb, const InputQueue& input, Line& line) : m_dcb(dcb), m_input(input), m_line(line) {}

    // fOutX: takes XON/XOFF out of received data, holding or releasing
    // output; returns the length left.
    size_t TakeFlowChars(BYTE* data, size_t length);
    // fInX: XOFF when the queue's free room falls to XoffLim, XON when what
    // it holds falls to XonLim.
    void FollowQueue();
    // fOutxCtsFlow, fOutxDsrFlow: reads CTS and DSR afresh (lineUsable
    // false: nothing to read, no hold); true when a hold ended.
    bool ReadStatusLines(bool lineUsable);
    // The settings changed: XON/XOFF turned off releases what it held.
    void SettingsChanged();

    // Output is held by the far end: its XOFF, or CTS or DSR off.
    bool Holding() const { return m_xoffReceived || m_ctsOff || m_dsrOff; }
    // lineSuspended: the line's own word to stop (a port server's), which counts as an XOFF.
    void FillHolds(COMSTAT& status, bool lineSuspended) const;

private:
    const DCB& m_dcb;
    const InputQueue& m_input;
    Line& m_line;
    bool m_xoffReceived = false;  // fOutX: the far end said XOFF and not yet XON
    bool m_xoffSent = false;      // fInX: we said XOFF and not yet XON
    bool m_ctsOff = false;        // fOutxCtsFlow: CTS was off when output was last offered
    bool m_dsrOff = false;        // fOutxDsrFlow: DSR was off when output was last offered
};

}  // namespace comm
