// What a tty's driver does with the frame it is given, where termios alone
// cannot tell.
#pragma once

#include "platform/win32.h"

namespace comm {

struct DriverTraits {
    // A pseudo-terminal forces 8 data bits and no parity: not a refusal, the
    // frame has no meaning there.
    bool ignoresFrame = false;
    // Bit n set: the hardware can send n data bits (5..8).
    unsigned dataBitsTaken = 0x1E0;
    // The slowest rate the chip's divisor reaches; below it the driver
    // programs a divisor that overflows into a different rate.
    unsigned minimumBaud = 1;
    // With 5 data bits CSTOPB gives 1.5 stop bits, as on a 16550; false
    // where the driver programs 2 stop bits whatever the data bits.
    bool oneAndAHalfStopBits = true;
    // Bytes the chip may hold to send that tcdrain does not wait for: the
    // driver neither counts them nor asks the chip (usb-chips.md).
    unsigned chipBufferNotWaitedFor = 0;
    // CRTSCTS reaches the chip or the UART; false where the driver leaves the
    // flag set in termios and holds nothing.
    bool rtsCtsFlow = true;
    // The chip holds what it receives for a latency timer (FTDI: 16 ms) that
    // ASYNC_LOW_LATENCY shortens; with XON/XOFF an XOFF must not wait there.
    bool latencyTimer = false;
    // The driver's CTS is what the chip last reported of a change (pl2303
    // keeps no counts of changes): until CTS reads otherwise than at the
    // open, it may read off while the line is on. The chip holds its
    // transmitter on CTS itself meanwhile.
    bool ctsOnlyAsChanged = false;
};

// Unix98 pty slaves (136..143) and the old BSD ones (3).
bool IsPtySlave(unsigned major);

// Known by the tty's major number (a pty) or by its driver's name in sysfs
// (device/driver, for example "ftdi_sio").
DriverTraits TraitsOf(int fd);

bool TakesDataBits(const DriverTraits& traits, unsigned byteSize);

// The LineParts of a frame the driver would take and then run otherwise.
unsigned PartsBeyondDriver(const DriverTraits& traits, const DCB& dcb);

}  // namespace comm
