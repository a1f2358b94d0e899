// The line settings on the descriptor: raw mode, the DCB's frame and
// handshake, the driver's error counters, flushing.
#pragma once

#include "platform/win32.h"

namespace comm {

// Raw line as a Windows port is: no echo, no canonical input, no CR/LF
// translation, no signals, no software flow control, receiver on, modem
// control lines ignored; line errors marked in band. Returns 0 or an errno value.
int MakeRaw(int fd);

// The settings the line has now, as a DCB.
DCB DcbFromLine(int fd);

// Applies frame, speed and handshake; on failure the line keeps its previous
// settings. Returns a Win32 code.
DWORD ApplyDcb(int fd, const DCB& dcb);

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

}  // namespace comm
