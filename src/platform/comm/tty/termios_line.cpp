#include "platform/comm/tty/termios_line.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstdlib>

#include "platform/comm/dcb_rules.h"
#include "platform/comm/errno_map.h"
#include "platform/comm/ioctl_count.h"
#include "platform/comm/tty/line_speed.h"

namespace comm {
namespace {

constexpr unsigned kSpeedTolerancePercent = 3;  // what a UART's divisor can miss by

void SetRawFlags(termios& line) {
    line.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                      IMAXBEL | IUTF8);
    line.c_iflag |= PARMRK | INPCK;
    line.c_oflag &= ~OPOST;
    line.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
}

bool IsRaw(const termios& line) {
    return (line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN)) == 0 && (line.c_oflag & OPOST) == 0 &&
           (line.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP)) == 0 && (line.c_iflag & PARMRK) != 0;
}

tcflag_t SizeFlag(BYTE byteSize) {
    switch (byteSize) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
    }
}

BYTE ByteSizeOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5: return 5;
        case CS6: return 6;
        case CS7: return 7;
        default: return 8;
    }
}

tcflag_t ParityFlags(BYTE parity) {
    switch (parity) {
        case ODDPARITY: return PARENB | PARODD;
        case EVENPARITY: return PARENB;
        case MARKPARITY: return PARENB | CMSPAR | PARODD;
        case SPACEPARITY: return PARENB | CMSPAR;
        default: return 0;
    }
}

BYTE ParityOf(tcflag_t cflag) {
    if (!(cflag & PARENB)) return NOPARITY;
    if (cflag & CMSPAR) return (cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    return (cflag & PARODD) ? ODDPARITY : EVENPARITY;
}

void SetFrame(termios& line, const DCB& dcb) {
    line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    line.c_cflag |= SizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    // With 5 data bits, CSTOPB gives 1.5 stop bits.
    if (dcb.StopBits != ONESTOPBIT) line.c_cflag |= CSTOPB;
    if (UsesRtsCts(dcb)) line.c_cflag |= CRTSCTS;
    // XON/XOFF are the driver thread's (CommDevice): with IXON the tty would
    // swallow them unseen, and USB-serial drivers ignore the tty's stop anyway.
    // VSTART/VSTOP are what tcflow sends.
    line.c_iflag &= ~(IXON | IXOFF);
    line.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    line.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

bool SpeedCloseEnough(DWORD actual, DWORD wanted) {
    auto difference = static_cast<unsigned long long>(std::llabs(static_cast<long long>(actual) - wanted));
    return difference * 100 <= static_cast<unsigned long long>(wanted) * kSpeedTolerancePercent;
}

// The LineParts in which the driver did not keep what it was given; speed
// counts as kept when close to the one asked for.
unsigned PartsNotHeld(int fd, const termios& wanted, DWORD baud, const DriverTraits& traits) {
    termios now;
    DWORD actual = 0;
    if (tcgetattr(fd, &now) != 0 || GetLineSpeed(fd, actual) != 0) return kPartOther;
    auto differs = [](tcflag_t held, tcflag_t given, tcflag_t bits) { return (held & bits) != (given & bits); };
    unsigned parts = 0;
    if (!SpeedCloseEnough(actual, baud)) parts |= kPartBaud;
    if (!traits.ignoresFrame && differs(now.c_cflag, wanted.c_cflag, CSIZE)) parts |= kPartDataBits;
    tcflag_t parity = traits.ignoresFrame ? PARODD | CMSPAR : PARENB | PARODD | CMSPAR;
    if (differs(now.c_cflag, wanted.c_cflag, parity)) parts |= kPartParity;
    if (differs(now.c_cflag, wanted.c_cflag, CSTOPB)) parts |= kPartStopBits;
    if (differs(now.c_cflag, wanted.c_cflag, CRTSCTS) || differs(now.c_iflag, wanted.c_iflag, IXON | IXOFF))
        parts |= kPartOther;
    return parts;
}

// Modem lines: a pty has none, so failures are not errors.
void SetModemLine(int fd, int line, bool on) { ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line); }

// Handshake raises its line: DTR for DSR flow, RTS so that the far end may
// send (the driver lowers it when its buffer fills; nothing raises it when
// CRTSCTS is turned on).
void SetModemLines(int fd, const DCB& dcb) {
    SetModemLine(fd, TIOCM_DTR, dcb.fDtrControl != DTR_CONTROL_DISABLE);
    SetModemLine(fd, TIOCM_RTS, dcb.fRtsControl != RTS_CONTROL_DISABLE);
}

}  // namespace

int MakeRaw(int fd) {
    termios line;
    if (tcgetattr(fd, &line) != 0) return errno;
    SetRawFlags(line);
    if (tcsetattr(fd, TCSANOW, &line) != 0) return errno;
    // tcsetattr succeeds when any part applied: check the parts that matter.
    if (tcgetattr(fd, &line) != 0) return errno;
    return IsRaw(line) ? 0 : EINVAL;
}

DCB DcbFromLine(int fd, const DriverTraits& traits) {
    DCB dcb = DefaultDcb();
    GetLineSpeed(fd, dcb.BaudRate);
    termios line{};
    tcgetattr(fd, &line);
    dcb.ByteSize = ByteSizeOf(line.c_cflag);
    if (!traits.ignoresFrame && !TakesDataBits(traits, dcb.ByteSize)) dcb.ByteSize = 8;  // the chip's fallback
    dcb.Parity = ParityOf(line.c_cflag);
    dcb.fParity = dcb.Parity != NOPARITY;
    bool oneAndAHalf = dcb.ByteSize == 5 && (traits.ignoresFrame || traits.oneAndAHalfStopBits);
    dcb.StopBits = (line.c_cflag & CSTOPB) ? (oneAndAHalf ? ONE5STOPBITS : TWOSTOPBITS) : ONESTOPBIT;
    bool rtscts = (line.c_cflag & CRTSCTS) != 0;
    dcb.fOutxCtsFlow = rtscts;
    dcb.fRtsControl = rtscts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = (line.c_iflag & IXON) != 0;
    dcb.fInX = (line.c_iflag & IXOFF) != 0;
    return dcb;  // XON/XOFF characters and limits as the Windows driver's, whatever the tty held
}

DWORD ApplyDcb(int fd, const DCB& dcb, const DriverTraits& traits, unsigned& refusedParts) {
    // Refused before the line is touched: the driver would take it and run something else.
    refusedParts = PartsBeyondDriver(traits, dcb);
    if (refusedParts != 0) return ERROR_INVALID_PARAMETER;
    SavedLine before = SaveLine(fd);
    termios line;
    if (!before.valid || tcgetattr(fd, &line) != 0) return Win32FromErrno(errno);
    SetFrame(line, dcb);
    int error = 0;
    // glibc reads the line back and fails with EINVAL when data bits or parity
    // did not take, although everything else did: what took is checked below.
    if (tcsetattr(fd, TCSANOW, &line) != 0 && errno != EINVAL) error = errno;
    if (error == 0) {
        error = SetLineSpeed(fd, dcb.BaudRate);
        if (error == EINVAL) refusedParts = kPartBaud;  // a driver may refuse a rate outright
    }
    if (error == 0) refusedParts = PartsNotHeld(fd, line, dcb.BaudRate, traits);
    if (error == 0 && refusedParts != 0) error = EINVAL;
    if (error != 0) {
        RestoreLine(fd, before);
        return Win32FromErrno(error);
    }
    SetModemLines(fd, dcb);
    return ERROR_SUCCESS;
}

bool ReadDriverCounts(int fd, DriverCounts& counts) {
    serial_icounter_struct icount{};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
    counts.breaks = static_cast<unsigned>(icount.brk);
    counts.frames = static_cast<unsigned>(icount.frame);
    counts.parities = static_cast<unsigned>(icount.parity);
    counts.overruns = static_cast<unsigned>(icount.overrun);
    counts.bufOverruns = static_cast<unsigned>(icount.buf_overrun);
    return true;
}

void FlushLine(int fd, bool input, bool output) {
    if (input && output) tcflush(fd, TCIOFLUSH);
    else if (input) tcflush(fd, TCIFLUSH);
    else if (output) tcflush(fd, TCOFLUSH);
}

DWORD OutputHeld(int fd) { return IoctlCount(fd, TIOCOUTQ); }

DWORD InputHeld(int fd) { return IoctlCount(fd, TIOCINQ); }

bool SendFlowChar(int fd, bool stop) { return tcflow(fd, stop ? TCIOFF : TCION) == 0; }

bool LowLatency(int fd) {
    serial_struct serial{};
    return ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) != 0;
}

bool SetLowLatency(int fd, bool on) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;
    if (on) serial.flags |= ASYNC_LOW_LATENCY;
    else serial.flags &= ~ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

int ModemLines(int fd) {
    int lines = 0;
    return ioctl(fd, TIOCMGET, &lines) == 0 ? lines : ~0;
}

}  // namespace comm
