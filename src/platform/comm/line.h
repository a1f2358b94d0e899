// What a device's driver thread talks to: a line below the Win32 surface, a
// tty (tty_line.h) or a port server across the network (net/network_line.h).
// The device calls it from one thread at a time: with its lock held, or, for
// ApplyDcb, alone while nothing else may call it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/comm/line_backlog.h"
#include "platform/win32.h"

namespace comm {

// What one read of the line brought.
struct LineInput {
    size_t length = 0;       // data bytes put in the caller's buffer
    DWORD errors = 0;        // CE_ bits the line told
    DWORD events = 0;        // EV_ bits besides EV_RXCHAR and EV_RXFLAG
    std::uint64_t lost = 0;  // received bytes the line counted as dropped
    bool ended = false;      // the line hung up
};

class Line {
public:
    virtual ~Line() = default;

    // For poll(): readable means Read has work, writable that a Write the
    // line did not take may be offered again.
    virtual int Descriptor() const = 0;
    // Data taken from the descriptor and not yet read: read before sleeping.
    virtual bool HasInput() const = 0;

    virtual LineInput Read(BYTE* buffer, size_t room) = 0;
    // As ::write: the count taken, or -1 with errno (EAGAIN while the line
    // takes nothing, EIO once it has gone).
    virtual ssize_t Write(const BYTE* data, size_t length) = 0;

    // The settings the line runs now.
    virtual DCB CurrentDcb() = 0;
    // Sets asked, all or nothing: when the line did not take all of it, it
    // runs kept, and the result is ERROR_INVALID_PARAMETER with reason set.
    // A network line waits, bounded, for its server.
    virtual DWORD ApplyDcb(const DCB& asked, const DCB& kept, std::string& reason) = 0;

    // Bytes received that wait below the device, and bytes taken for the
    // line that it has not sent yet.
    virtual DWORD InputHeld() const = 0;
    virtual DWORD OutputHeld() const = 0;
    // Once the line has hung up: bytes handed to it that are not known to have
    // left it (a port server's: never acknowledged by the server).
    virtual DWORD OutputLostAtHangUp() const { return 0; }
    virtual void Purge(bool input, bool output) = 0;

    // fInX: tells the far end to stop (XOFF) or start (XON); false if it could not now.
    virtual bool SendFlowChar(bool stop) = 0;
    // The status lines (TIOCM_CTS, TIOCM_DSR bits) as they are now; a line
    // without them has them all on.
    virtual int ModemLines() const = 0;
    // Whether CTS in lines (as ModemLines read them) says what the line is:
    // false where the driver has not yet been told (see
    // DriverTraits::ctsOnlyAsChanged).
    virtual bool CtsKnown(int lines) { return true; }
    // The line itself holds output (a port server asked to suspend it): no
    // Write until a Read has taken in the word to resume.
    virtual bool OutputSuspended() const = 0;
    // With XON/XOFF or arrival times on, a line that batches received data answers at once.
    virtual void FollowLatency(bool lowLatency) = 0;

    // The line's counters of lost and damaged input (GetCommLostCount);
    // false where it has none. Takes the counts since the last read into input.
    virtual bool CountsLosses() const = 0;
    virtual void TakeCounts(LineInput& input) = 0;
    // The driver's running counts of damaged input, read now; false where it keeps none.
    virtual bool ReadErrorCounts(std::uint64_t&, std::uint64_t&) const { return false; }

    // For closing it: by what its closes are known (the next open waits for
    // them), how a user knows it, the time a close should need.
    virtual std::string CloseKey() const = 0;
    virtual std::string Name() const = 0;
    // The kind of port, as GetCommProperties tells it (PST_RS232, PST_TCPIP_TELNET).
    virtual DWORD ProviderSubType() const = 0;
    virtual Clock::duration CloseAllowance(bool drain, Clock::duration characterTime) const = 0;
    // The line hung up: what it is to be put back to is kept for the next open.
    virtual void KeepAfterHangUp() = 0;
    // Lets the line send what it holds when asked to, puts it back as found, closes it.
    virtual void Close(bool drain, Clock::duration characterTime, const LineBacklog& backlog) = 0;
};

}  // namespace comm
