// A tty under a device: termios settings, PARMRK error marks, the driver's
// counters and traits, and the close that puts the line back as it was found.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/comm/line.h"
#include "platform/comm/tty/driver_traits.h"
#include "platform/comm/tty/line_speed.h"
#include "platform/comm/tty/parmrk_decoder.h"
#include "platform/comm/tty/termios_line.h"

namespace comm {

class TtyLine final : public Line {
public:
    // Takes an open, exclusive, raw, non-blocking descriptor; original is
    // what the close puts back, identityKey the device's (kept lines).
    TtyLine(int fd, std::string path, std::string identityKey, const SavedLine& original);

    int Descriptor() const override { return m_fd; }
    bool HasInput() const override { return false; }
    LineInput Read(BYTE* buffer, size_t room) override;
    ssize_t Write(const BYTE* data, size_t length) override;
    DCB CurrentDcb() override { return DcbFromLine(m_fd, m_traits); }
    DWORD ApplyDcb(const DCB& asked, const DCB& kept, std::string& reason) override;
    DWORD InputHeld() const override { return comm::InputHeld(m_fd); }
    DWORD OutputHeld() const override { return comm::OutputHeld(m_fd); }
    void Purge(bool input, bool output) override;
    bool SendFlowChar(bool stop) override { return comm::SendFlowChar(m_fd, stop); }
    int ModemLines() const override { return comm::ModemLines(m_fd); }
    bool CtsKnown(int lines) override;
    bool OutputSuspended() const override { return false; }
    void FollowLatency(bool lowLatency) override;
    bool CountsLosses() const override { return m_haveDriverCounts; }
    bool ReadErrorCounts(std::uint64_t& frames, std::uint64_t& parities) const override;
    void TakeCounts(LineInput& input) override;
    std::string CloseKey() const override;
    std::string Name() const override { return m_path; }
    DWORD ProviderSubType() const override { return PST_RS232; }
    Clock::duration CloseAllowance(bool drain, Clock::duration characterTime) const override;
    void KeepAfterHangUp() override;
    void Close(bool drain, Clock::duration characterTime, const LineBacklog& backlog) override;

private:
    const int m_fd;
    const std::string m_path;
    const std::string m_identityKey;
    const SavedLine m_original;
    const DriverTraits m_traits;
    ParmrkDecoder m_decoder;
    bool m_haveDriverCounts;
    DriverCounts m_driverCounts;
    // CTS as the driver reads it says what the line is: a driver whose CTS
    // changes only with a report has had one once CTS reads otherwise than
    // it did at the open.
    bool m_ctsKnown;
    const int m_ctsAtOpen;
    bool m_latencyLowered = false;  // we set ASYNC_LOW_LATENCY, which was off
    std::vector<BYTE> m_raw;
    // What putting the line back and closing it are allowed beyond a drain
    // (on a device that stopped answering, each USB control request takes its
    // 5 s time-out): the next open of the device and the end of the process
    // wait no longer.
    static constexpr std::chrono::seconds kCloseAllowance{2};
};

}  // namespace comm
