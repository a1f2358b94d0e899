// Letting a line send what it holds before its settings are put back.
// TIOCOUTQ and tcdrain count what the tty and its driver hold. Where the
// driver knows its chip's buffer (ftdi_sio, cp210x, the 8250), tcdrain also
// waits for the chip; elsewhere (ch341, pl2303, cdc_acm) the chip may still
// hold a buffer's worth when tcdrain returns, and only the time that takes at
// the line's rate tells when it has gone.
#pragma once

#include "platform/comm/line_backlog.h"
#include "platform/comm/tty/driver_traits.h"

namespace comm {

// The longest a drain may take: what the tty and the driver hold, and the
// largest chip buffer, sent at the line's rate.
Clock::duration DrainLimit(int fd, Clock::duration characterTime);

// Waits, at most DrainLimit, until the line has sent what it holds: tcdrain,
// then where the chip's buffer is not the driver's to wait for, the time what
// was written may still take.
void DrainLine(int fd, const DriverTraits& traits, Clock::duration characterTime, const LineBacklog& backlog);

}  // namespace comm
