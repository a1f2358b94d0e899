// Calls on a tty that may wait on a line that stopped: closing it and
// letting it send what it holds, each bounded.
#pragma once

#include <chrono>

namespace comm {

// The last close of a tty waits, up to the port's closing_wait (30 s unless
// set otherwise), until the driver has sent what it still holds; a USB device
// that stopped reading never lets it go. That wait gives way to a signal, so
// the descriptor is closed on a thread of its own, which is interrupted when
// the close has not returned within a short grace. What the line had not sent
// by then is dropped, as a Windows port's close cancels its writes.
void CloseWithoutWaiting(int fd);

// tcdrain, given up after limit (the line does not send at all, flow control
// holds it): waits until the tty and its driver have sent what they hold,
// and where the driver knows its chip's buffer, until the chip has too.
void DrainWithin(int fd, std::chrono::steady_clock::duration limit);

}  // namespace comm
