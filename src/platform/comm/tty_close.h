// Closing a tty without waiting on a line that stopped taking data.
#pragma once

namespace comm {

// The last close of a tty waits, up to the port's closing_wait (30 s unless
// set otherwise), until the driver has sent what it still holds; a USB device
// that stopped reading never lets it go. That wait gives way to a signal, so
// the descriptor is closed on a thread of its own, which is interrupted when
// the close has not returned within a short grace. What the line had not sent
// by then is dropped, as a Windows port's close cancels its writes.
void CloseWithoutWaiting(int fd);

}  // namespace comm
