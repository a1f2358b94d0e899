// SetCommArrivalTimes and ReadCommArrivals: received data with the times its
// pieces left the kernel's queue.
#include <chrono>

#include "platform/comm/comm_device.h"

namespace comm {

BOOL CommDevice::KeepArrivals(bool keep) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    if (keep == m_arrivals.Keeping()) return TRUE;
    if (keep) m_arrivals.Start(m_input.Size(), Clock::now());
    else m_arrivals.Stop();
    if (LineUsable()) m_line->FollowLatency(m_dcb.fOutX || keep);
    return TRUE;
}

BOOL CommDevice::GetErrorCounts(ULONGLONG* framing, ULONGLONG* parity) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    std::uint64_t frames = 0, parities = 0;
    if (!LineUsable() || !m_line->ReadErrorCounts(frames, parities)) return Fail(ERROR_NOT_SUPPORTED);
    *framing = frames;
    *parity = parities;
    return TRUE;
}

BOOL CommDevice::ReadArrivals(BYTE* buffer, DWORD length, DWORD* count, COMMARRIVAL* arrivals, DWORD maxArrivals,
                              DWORD* arrivalCount) {
    *count = 0;
    *arrivalCount = 0;
    auto lock = LockOpen();
    if (!lock) return FALSE;
    if (!m_arrivals.Keeping()) return Fail(ERROR_INVALID_FUNCTION);
    // A pending read takes what arrives before the queue does.
    if (m_requests.ReadsPending()) return Fail(ERROR_BUSY);
    // What the line holds now is taken in first, as a read that does not wait does.
    if (!m_hungUp && m_input.Size() < length) ReadLine(Clock::now());
    if (m_hungUp && m_input.Size() == 0 && length > 0) return Fail(ERROR_DEVICE_NOT_CONNECTED);

    const size_t allowed = m_arrivals.Within(length, maxArrivals);
    const size_t taken = m_input.Pop(buffer, allowed);
    const size_t pieceCount = m_arrivals.Take(taken, [&, i = size_t{0}](size_t offset, Clock::time_point time) mutable {
        arrivals[i].dwOffset = static_cast<DWORD>(offset);
        arrivals[i++].llTime = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    });
    InputTaken(taken);
    *count = static_cast<DWORD>(taken);
    *arrivalCount = static_cast<DWORD>(pieceCount);
    return TRUE;
}

}  // namespace comm
