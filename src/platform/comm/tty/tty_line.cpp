#include "platform/comm/tty/tty_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/comm/settings_refusal.h"
#include "platform/comm/tty/device_number.h"
#include "platform/comm/tty/kept_lines.h"
#include "platform/comm/tty/line_drain.h"
#include "platform/comm/tty/tty_close.h"

namespace comm {
namespace {

constexpr size_t kReadChunk = 16384;

}  // namespace

TtyLine::TtyLine(int fd, std::string path, std::string identityKey, const SavedLine& original)
    : m_fd(fd),
      m_path(std::move(path)),
      m_identityKey(std::move(identityKey)),
      m_original(original),
      m_traits(TraitsOf(fd)),
      m_haveDriverCounts(ReadDriverCounts(fd, m_driverCounts)),
      m_ctsKnown(!m_traits.ctsOnlyAsChanged),
      m_ctsAtOpen(comm::ModemLines(fd) & TIOCM_CTS),
      m_raw(kReadChunk) {
    m_decoder.SetParityChecked(DcbFromLine(fd, m_traits).Parity != NOPARITY);
}

bool TtyLine::CtsKnown(int lines) {
    if (!m_ctsKnown) m_ctsKnown = (lines & TIOCM_CTS) != m_ctsAtOpen;
    return m_ctsKnown;
}

LineInput TtyLine::Read(BYTE* buffer, size_t room) {
    LineInput input;
    const ssize_t got = ::read(m_fd, m_raw.data(), std::min(room, m_raw.size()));
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return input;
    if (got <= 0) {
        input.ended = true;
        return input;
    }
    TakeCounts(input);
    const DecodedInput decoded = m_decoder.Decode(m_raw.data(), static_cast<size_t>(got), buffer);
    input.length = decoded.length;
    input.errors |= decoded.errors;
    input.events |= decoded.events;
    return input;
}

ssize_t TtyLine::Write(const BYTE* data, size_t length) { return ::write(m_fd, data, length); }

DWORD TtyLine::ApplyDcb(const DCB& asked, const DCB& kept, std::string& reason) {
    unsigned refusedParts = 0;
    const DWORD error = comm::ApplyDcb(m_fd, asked, m_traits, refusedParts);
    if (error == ERROR_INVALID_PARAMETER) reason = DescribeRefusal(m_path, asked, kept, refusedParts);
    if (error == ERROR_SUCCESS) m_decoder.SetParityChecked(asked.Parity != NOPARITY);
    return error;
}

void TtyLine::Purge(bool input, bool output) {
    if (input) m_decoder.Reset();
    FlushLine(m_fd, input, output);
}

void TtyLine::FollowLatency(bool lowLatency) {
    const bool wanted = lowLatency && m_traits.latencyTimer;
    if (wanted == m_latencyLowered) return;
    if (!wanted) {
        SetLowLatency(m_fd, false);
        m_latencyLowered = false;
    } else if (!LowLatency(m_fd)) {
        m_latencyLowered = SetLowLatency(m_fd, true);
    }
}

bool TtyLine::ReadErrorCounts(std::uint64_t& frames, std::uint64_t& parities) const {
    DriverCounts counts;
    if (!m_haveDriverCounts || !ReadDriverCounts(m_fd, counts)) return false;
    frames = counts.frames;
    parities = counts.parities;
    return true;
}

void TtyLine::TakeCounts(LineInput& input) {
    DriverCounts counts;
    if (!m_haveDriverCounts || !ReadDriverCounts(m_fd, counts)) return;
    const DriverCounts& last = m_driverCounts;
    m_decoder.AddCounts({counts.breaks - last.breaks, counts.frames - last.frames, counts.parities - last.parities});
    // Overruns never show in the data, only in the counters.
    if (counts.overruns != last.overruns) {
        input.errors |= CE_OVERRUN;
        input.events |= EV_ERR;
    }
    if (counts.bufOverruns != last.bufOverruns) input.errors |= CE_RXOVER;
    input.lost += (counts.overruns - last.overruns) + (counts.bufOverruns - last.bufOverruns);
    m_driverCounts = counts;
}

std::string TtyLine::CloseKey() const { return DeviceNumberOf(m_fd); }

Clock::duration TtyLine::CloseAllowance(bool drain, Clock::duration characterTime) const {
    return kCloseAllowance + (drain ? DrainLimit(m_fd, characterTime) : Clock::duration{});
}

void TtyLine::KeepAfterHangUp() { KeepLine(m_path, m_identityKey, m_original); }

void TtyLine::Close(bool drain, Clock::duration characterTime, const LineBacklog& backlog) {
    if (drain) DrainLine(m_fd, m_traits, characterTime, backlog);
    // The device is left as it was found. A vanished one refuses: its line
    // waits for the device to be back.
    if (m_latencyLowered) SetLowLatency(m_fd, false);
    if (RestoreLine(m_fd, m_original) == 0) ForgetLine(m_path, m_identityKey);
    else KeepLine(m_path, m_identityKey, m_original);
    // Exclusive use ends with the descriptor; a pty's slave would otherwise keep the flag.
    ioctl(m_fd, TIOCNXCL);
    CloseWithoutWaiting(m_fd);
}

}  // namespace comm
