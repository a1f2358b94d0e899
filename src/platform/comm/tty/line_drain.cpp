#include "platform/comm/tty/line_drain.h"

#include <algorithm>
#include <thread>

#include "platform/comm/tty/termios_line.h"
#include "platform/comm/tty/tty_close.h"

namespace comm {
namespace {

// An FT232R holds 256 bytes to send; no chip the drivers know holds more.
constexpr DWORD kLargestChipBuffer = 256;
// What the time a chip takes is reckoned from is when the tty took the bytes;
// they reach the chip a little later.
constexpr Clock::duration kTransferAllowance = std::chrono::milliseconds(50);
constexpr DWORD kCharactersAllowed = 2;

}  // namespace

Clock::duration DrainLimit(int fd, Clock::duration characterTime) {
    return (OutputHeld(fd) + kLargestChipBuffer + kCharactersAllowed) * characterTime + kTransferAllowance;
}

void DrainLine(int fd, const DriverTraits& traits, Clock::duration characterTime, const LineBacklog& backlog) {
    const Clock::duration limit = DrainLimit(fd, characterTime);
    const Clock::time_point deadline = Clock::now() + limit;
    DrainWithin(fd, limit);
    if (traits.chipBufferNotWaitedFor == 0) return;
    const Clock::time_point now = Clock::now();
    const Clock::duration inChip = std::min(backlog.Left(now), traits.chipBufferNotWaitedFor * characterTime);
    const Clock::duration allowance = kCharactersAllowed * characterTime + kTransferAllowance;
    std::this_thread::sleep_until(std::min(now + inChip + allowance, deadline));
}

}  // namespace comm
