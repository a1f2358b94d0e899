// Line settings, event mask, time-outs, queue size, errors and purging.
#include "platform/comm/comm_device.h"
#include "platform/comm/dcb_rules.h"
#include "platform/comm/settings_refusal.h"

namespace comm {
namespace {

constexpr DWORD kKnownEvents = 0x1FFF;  // EV_RXCHAR .. EV_EVENT2

}  // namespace

BOOL CommDevice::Setup(DWORD inQueue) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    // As the Windows driver does, the queue only grows: queued bytes are kept.
    if (inQueue > m_input.Capacity()) {
        try {
            m_input.Resize(inQueue);
        } catch (const std::bad_alloc&) {
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
        UpdateInputFlow();
        if (m_inputPaused) Wake();
    }
    return TRUE;
}

template <class T>
BOOL CommDevice::CopyOut(const T& setting, T* out) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    *out = setting;
    return TRUE;
}

BOOL CommDevice::GetState(DCB* dcb) { return CopyOut(m_dcb, dcb); }

BOOL CommDevice::GetProperties(COMMPROP* properties) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    *properties = COMMPROP{};
    properties->wPacketLength = sizeof(COMMPROP);
    properties->wPacketVersion = 2;
    properties->dwServiceMask = SP_SERIALCOMM;
    properties->dwProvSubType = m_line->ProviderSubType();
    return TRUE;
}

BOOL CommDevice::SetState(const DCB* dcb) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    if (const unsigned refusedParts = InvalidParts(*dcb)) {
        SetLastErrorText(ERROR_INVALID_PARAMETER, DescribeRefusal(m_line->Name(), *dcb, m_dcb, refusedParts).c_str());
        return FALSE;
    }
    // One change at a time. A network line waits for its server: meanwhile
    // the lock is free and the driver thread leaves the line alone.
    m_lineSet.wait(lock, [this] { return !m_settingLine; });
    m_settingLine = true;
    const DCB kept = m_dcb;
    lock.unlock();
    std::string reason;
    const DWORD error = m_line->ApplyDcb(*dcb, kept, reason);
    lock.lock();
    m_settingLine = false;
    m_lineSet.notify_all();
    Wake();  // the driver thread watches the line again
    if (error != ERROR_SUCCESS) {
        // The line runs what it ran before, and m_dcb still says so.
        if (reason.empty()) return Fail(error);
        SetLastErrorText(error, reason.c_str());
        return FALSE;
    }
    // Kept whole: a pty ignores data bits and parity, yet they read back as set.
    m_dcb = *dcb;
    // Handshakes turned off release what they held; the queue is judged by the new limits.
    m_flow.SettingsChanged();
    if (LineUsable()) m_line->FollowLatency(m_dcb.fOutX || m_arrivals.Keeping());
    ReadStatusLines();
    UpdateInputFlow();
    Wake();
    return TRUE;
}

BOOL CommDevice::GetMask(DWORD* mask) { return CopyOut(m_mask, mask); }

BOOL CommDevice::SetMask(DWORD mask) {
    if (mask & ~kKnownEvents) return Fail(ERROR_INVALID_PARAMETER);
    auto lock = LockOpen();
    if (!lock) return FALSE;
    m_mask = mask;
    m_history &= mask;
    m_requests.EndWait(0);  // a pending wait ends with no events
    return TRUE;
}

BOOL CommDevice::GetTimeouts(COMMTIMEOUTS* timeouts) { return CopyOut(m_timeouts, timeouts); }

BOOL CommDevice::SetTimeouts(const COMMTIMEOUTS* timeouts) {
    if (!ValidTimeouts(*timeouts)) return Fail(ERROR_INVALID_PARAMETER);
    auto lock = LockOpen();
    if (!lock) return FALSE;
    m_timeouts = *timeouts;  // applies to transfers started from now on
    return TRUE;
}

BOOL CommDevice::ClearError(DWORD* errors, COMSTAT* status) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    if (errors) *errors = m_errors;
    m_errors = 0;
    if (status) {
        *status = COMSTAT{};
        // What the driver thread leaves in the kernel while nobody waits has arrived all the same.
        status->cbInQue = static_cast<DWORD>(m_input.Size());
        if (LineUsable()) status->cbInQue += m_line->InputHeld();
        status->cbOutQue = m_requests.OutputQueued();
        if (LineUsable()) status->cbOutQue += m_line->OutputHeld();
        else if (m_hungUp) status->cbOutQue += m_line->OutputLostAtHangUp();
        ReadStatusLines();
        // A port server's word to suspend output is its XOFF.
        m_flow.FillHolds(*status, LineUsable() && m_line->OutputSuspended());
    }
    return TRUE;
}

BOOL CommDevice::GetLostCount(ULONGLONG* lost) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    if (!m_line->CountsLosses()) return Fail(ERROR_NOT_SUPPORTED);
    // While a full queue keeps the driver thread from reading, nobody else
    // looks at the counters: bring them up to now.
    if (LineUsable()) TakeLineCounts();
    *lost = m_lost;
    return TRUE;
}

BOOL CommDevice::Purge(DWORD flags) {
    if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) return Fail(ERROR_INVALID_PARAMETER);
    auto lock = LockOpen();
    if (!lock) return FALSE;
    if (flags & PURGE_TXABORT) m_requests.AbortWrites();
    if (flags & PURGE_RXABORT) m_requests.AbortReads();
    if (flags & PURGE_RXCLEAR) {
        m_input.Clear();
        m_arrivals.Clear();
        UpdateInputFlow();
    }
    if (LineUsable()) m_line->Purge((flags & PURGE_RXCLEAR) != 0, (flags & PURGE_TXCLEAR) != 0);
    if (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) m_drainAtClose = false;
    Wake();  // the queue may have room again, the heads may have changed
    return TRUE;
}

BOOL CommDevice::DrainAtClose() {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    m_drainAtClose = true;
    return TRUE;
}

}  // namespace comm
