#include "platform/comm/tty/driver_traits.h"

#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "platform/comm/dcb_rules.h"

namespace comm {
namespace {

struct KnownDriver {
    std::string_view name;
    DriverTraits traits;
};

// Drivers whose chips take fewer frames than termios lets through. FTDI chips
// send only 7 or 8 data bits (asked for 5, ftdi_sio keeps cs5 in termios while
// it programs 8 into the chip), and their 14-bit divisor of 3 MHz stops at
// 183.1 baud (asked for 110, ftdi_sio programs about 275). ch341 and cp210x
// program CSTOPB as 2 stop bits with 5 data bits too (the CP2102 has 1.5, the
// driver never asks for them), and cdc_acm asks its device for 2 (its line
// coding has 1.5), while termios reads as 1.5 there; so does the PL011 (its
// LCR_H has one stop-bits bit, for 2). ch341, pl2303 and
// cdc_acm do not wait for what their chip holds to send: the PL2303 holds
// 256 bytes; for the CH340, whose figure is not published, 128 are allowed
// (as the rig's emulated chip holds), and for an ACM device one 64-byte packet.
// ch341 (before Linux 6.14) and cdc_acm keep CRTSCTS without programming any
// flow control. FTDI chips hold what they receive for a latency timer. pl2303
// reads CTS from what the chip last reported on its interrupt endpoint, which
// the chip does only when a line changes.
constexpr KnownDriver kKnownDrivers[] = {
    {"ftdi_sio", {.dataBitsTaken = (1u << 7) | (1u << 8), .minimumBaud = 184, .latencyTimer = true}},
    {"ch341-uart",  // ch341's usb-serial driver
     {.oneAndAHalfStopBits = false, .chipBufferNotWaitedFor = 128, .rtsCtsFlow = false}},
    {"cp210x", {.oneAndAHalfStopBits = false}},
    {"pl2303", {.chipBufferNotWaitedFor = 256, .ctsOnlyAsChanged = true}},
    {"cdc_acm", {.oneAndAHalfStopBits = false, .chipBufferNotWaitedFor = 64, .rtsCtsFlow = false}},
    {"uart-pl011", {.oneAndAHalfStopBits = false}},  // amba-pl011
};

std::string DriverName(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return {};
    std::string link = "/sys/dev/char/" + std::to_string(major(info.st_rdev)) + ":" +
                       std::to_string(minor(info.st_rdev)) + "/device/driver";
    char target[PATH_MAX];
    ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) return {};
    std::string_view path(target, static_cast<size_t>(length));
    return std::string(path.substr(path.find_last_of('/') + 1));
}

}  // namespace

bool IsPtySlave(unsigned major) { return (major >= 136 && major <= 143) || major == 3; }

DriverTraits TraitsOf(int fd) {
    DriverTraits traits;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && IsPtySlave(major(info.st_rdev))) {
        traits.ignoresFrame = true;
        return traits;
    }
    std::string name = DriverName(fd);
    for (const KnownDriver& known : kKnownDrivers)
        if (known.name == name) return known.traits;
    return traits;
}

unsigned PartsBeyondDriver(const DriverTraits& traits, const DCB& dcb) {
    if (traits.ignoresFrame) return 0;
    unsigned parts = 0;
    if (dcb.BaudRate < traits.minimumBaud) parts |= kPartBaud;
    if (!TakesDataBits(traits, dcb.ByteSize)) parts |= kPartDataBits;
    if (dcb.StopBits == ONE5STOPBITS && !traits.oneAndAHalfStopBits) parts |= kPartStopBits;
    if (UsesRtsCts(dcb) && !traits.rtsCtsFlow) parts |= kPartRtsCts;
    return parts;
}

bool TakesDataBits(const DriverTraits& traits, unsigned byteSize) {
    return byteSize < 32 && (traits.dataBitsTaken & (1u << byteSize)) != 0;
}

}  // namespace comm
