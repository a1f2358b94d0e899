// The line settings on the descriptor: raw mode, the DCB's frame and
// handshake, the driver's error counters, flushing.
#pragma once

#include "platform/comm/tty/driver_traits.h"
#include "platform/win32.h"

namespace comm {

// Raw line as a Windows port is: no echo, no canonical input, no CR/LF
// translation, no signals, no software flow control, receiver on, modem
// control lines ignored; line errors marked in band. Returns 0 or an errno value.
int MakeRaw(int fd);

// The settings the line has now, as a DCB: what the hardware runs where the
// driver is known to keep in termios what it could not program.
DCB DcbFromLine(int fd, const DriverTraits& traits);

// Applies frame, speed and handshake, all or nothing: when the driver did not
// take the whole of it, the line is put back as it was, refusedParts says
// which LineParts it did not take, and the result is ERROR_INVALID_PARAMETER.
// Returns a Win32 code.
DWORD ApplyDcb(int fd, const DCB& dcb, const DriverTraits& traits, unsigned& refusedParts);

// The driver's error counters (TIOCGICOUNT); false where the driver has none.
struct DriverCounts {
    unsigned breaks = 0;
    unsigned frames = 0;
    unsigned parities = 0;
    unsigned overruns = 0;     // the UART lost bytes
    unsigned bufOverruns = 0;  // the kernel's buffer lost bytes
};
bool ReadDriverCounts(int fd, DriverCounts& counts);

void FlushLine(int fd, bool input, bool output);

// Bytes the tty and its driver have taken but not yet put on the line; 0
// where the driver does not say (a pty).
DWORD OutputHeld(int fd);

// Bytes received that wait in the tty for a read (with PARMRK, the marks of
// line errors count too).
DWORD InputHeld(int fd);

// Sends the line's stop (XOFF) or start (XON) character ahead of the data
// (a USB driver queues it behind what it holds). False if it could not.
bool SendFlowChar(int fd, bool stop);

// Sets or clears ASYNC_LOW_LATENCY; false if the driver refused or has no
// such setting.
bool SetLowLatency(int fd, bool on);
bool LowLatency(int fd);

// The status lines (TIOCM_CTS, TIOCM_DSR bits) as they are now; a device
// without modem lines (a pty) has them all on.
int ModemLines(int fd);

}  // namespace comm
