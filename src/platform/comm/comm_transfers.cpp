// ReadFile, WriteFile, WaitCommEvent, GetOverlappedResult and cancelling.
#include <unistd.h>

#include <cerrno>

#include "platform/comm/comm_device.h"
#include "platform/comm/errno_map.h"

namespace comm {
namespace {

// The OVERLAPPED's event, referenced for the life of the operation so that a
// handle closed early cannot be signalled after its object is gone. False
// (with the error set) for a handle that is not an event.
bool TakeEvent(const OVERLAPPED* overlapped, kernel::Ref<kernel::Event>& event) {
    if (!overlapped->hEvent) return true;
    event = kernel::Lookup<kernel::Event>(overlapped->hEvent);
    return static_cast<bool>(event);
}

}  // namespace

BOOL CommDevice::Read(BYTE* buffer, DWORD length, DWORD* count, OVERLAPPED* overlapped) {
    kernel::Ref<kernel::Event> event;
    if (!TakeEvent(overlapped, event)) return FALSE;
    auto lock = LockOpen();
    if (!lock) return FALSE;
    Request* spare = m_requests.Spare();  // before taking data, which must not be lost if this fails
    if (!spare) return Fail(ERROR_NOT_ENOUGH_MEMORY);

    TransferRule rule = ReadRuleFor(m_timeouts, length);
    bool first = !m_requests.ReadsPending();
    DWORD taken = 0;
    if (first) {
        // A read that will not wait takes what the line holds now, not only
        // what the driver thread has moved to the queue so far.
        if (rule.atOnce && !m_hungUp && m_input.Size() < length) ReadLine(Clock::now());
        taken = static_cast<DWORD>(m_input.Pop(buffer, length));
        m_arrivals.Drop(taken);
        InputTaken(taken);
    }
    bool atOnce = taken == length || (first && (rule.atOnce || (rule.onFirstByte && taken > 0)));
    // After a hang-up, what was queued can still be read; nothing more will
    // come, so a read that finds nothing fails, even one that would not wait.
    if (m_hungUp) {
        if (taken == 0 && length > 0) {
            m_requests.GiveBack(spare);
            return Fail(ERROR_DEVICE_NOT_CONNECTED);
        }
        atOnce = true;
    }
    if (atOnce) {
        m_requests.GiveBack(spare);
        if (count) *count = taken;
        PendingRequests::CompleteAtOnce(overlapped, event, taken);
        return TRUE;
    }
    Request* read = m_requests.Accept(spare, Request::Kind::Read, overlapped, std::move(event));
    read->data = buffer;
    read->length = length;
    read->done = taken;
    read->rule = rule;
    m_requests.QueueRead(read, Clock::now());
    Wake();  // the driver's nearest deadline may have changed
    return Pending();
}

BOOL CommDevice::Write(const BYTE* data, DWORD length, DWORD* count, OVERLAPPED* overlapped) {
    kernel::Ref<kernel::Event> event;
    if (!TakeEvent(overlapped, event)) return FALSE;
    auto lock = LockOpen();
    if (!lock) return FALSE;
    // An XOFF that has arrived stops this write, whether or not the driver
    // thread has woken for it yet; DSR is read at each offer (a held write is
    // offered again), as some drivers cannot wake us when it changes.
    if (m_dcb.fOutX && !m_hungUp) ReadLine(Clock::now());
    if (m_hungUp) return Fail(ERROR_DEVICE_NOT_CONNECTED);
    ReadStatusLines();
    Request* spare = m_requests.Spare();
    if (!spare) return Fail(ERROR_NOT_ENOUGH_MEMORY);

    // With nothing queued ahead, write straight away as a UART driver fills
    // its FIFO; whatever the line cannot take now goes to the driver thread.
    DWORD written = 0;
    if (!m_requests.WritesPending() && LineUsable() && !m_outputBlocked && !OutputStopped() && length > 0) {
        ssize_t put = WriteLine(data, length, Clock::now());
        if (put > 0) {
            written = static_cast<DWORD>(put);
        } else if (put < 0 && errno == EAGAIN) {
            m_outputBlocked = true;
        } else if (put < 0 && errno != EINTR) {
            DWORD error = Win32FromErrno(errno);
            m_requests.GiveBack(spare);
            if (error == ERROR_DEVICE_NOT_CONNECTED) ReadToTheEnd(Clock::now());  // what came before the end is kept
            return Fail(error);
        }
    }
    if (written == length) {
        m_requests.GiveBack(spare);
        if (count) *count = written;
        PendingRequests::CompleteAtOnce(overlapped, event, written);
        if (length > 0 && !m_requests.WritesPending()) RaiseEvents(EV_TXEMPTY);
        return TRUE;
    }
    Request* write = m_requests.Accept(spare, Request::Kind::Write, overlapped, std::move(event));
    write->data = const_cast<BYTE*>(data);
    write->length = length;
    write->done = written;
    write->rule = WriteRuleFor(m_timeouts, length);
    m_requests.QueueWrite(write, Clock::now());
    Wake();
    return Pending();
}

BOOL CommDevice::WaitEvent(DWORD* bits, OVERLAPPED* overlapped) {
    kernel::Ref<kernel::Event> event;
    if (!TakeEvent(overlapped, event)) return FALSE;
    bool lend = false;
    const BOOL started = StartWait(bits, overlapped, std::move(event), lend);
    // Lent once the device lock is let go: the thread's earlier lender, if
    // another device, is told with its own lock.
    if (lend) {
        const DWORD error = GetLastError();
        kernel::LendToThisThread(kernel::Ref<kernel::Object>::Share(this), *this);
        SetLastError(error);
    }
    return started;
}

BOOL CommDevice::StartWait(DWORD* bits, OVERLAPPED* overlapped, kernel::Ref<kernel::Event> event, bool& lend) {
    auto lock = LockOpen();
    if (!lock) return FALSE;
    if (m_mask == 0 || m_requests.WaitPending()) return Fail(ERROR_INVALID_PARAMETER);
    lend = TakeLender();
    // Events from before a hang-up are still told: the data they announce can still be read.
    if (m_history) {
        *bits = m_history;
        m_history = 0;
        PendingRequests::CompleteAtOnce(overlapped, event, 0);
        return TRUE;
    }
    if (m_hungUp) return Fail(ERROR_DEVICE_NOT_CONNECTED);
    Request* spare = m_requests.Spare();
    if (!spare) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    m_requests.QueueWait(m_requests.Accept(spare, Request::Kind::Wait, overlapped, std::move(event)), bits);
    return Pending();
}

BOOL CommDevice::GetResult(OVERLAPPED* overlapped, DWORD* count, bool wait) {
    std::unique_lock lock(m_lock);
    if (overlapped->Internal == ERROR_IO_PENDING) {
        if (!wait) return Fail(ERROR_IO_INCOMPLETE);
        m_requests.AwaitEnd(lock, overlapped);
    }
    if (count) *count = static_cast<DWORD>(overlapped->InternalHigh);
    auto status = static_cast<DWORD>(overlapped->Internal);
    return status == ERROR_SUCCESS ? TRUE : Fail(status);
}

BOOL CommDevice::CancelThreadIo() {
    const kernel::ThreadIo* me = &kernel::ThreadIo::Current();
    auto lock = LockOpen();
    if (!lock) return FALSE;
    m_requests.AbortIssuedBy(me);
    Wake();  // the head, and so the nearest deadline, may have changed
    return TRUE;
}

void CommDevice::AbortAtThreadExit(kernel::PendingIo& io, std::uint64_t ticket) {
    std::lock_guard lock(m_lock);
    auto& request = static_cast<Request&>(io);
    if (request.ticket != ticket) return;
    // The thread's routine has returned: its OVERLAPPED and result variables
    // may have lived in frames that the thread's exit path now reuses. The
    // abort goes into the request's own spare records; only the event, a
    // kernel object, is signalled.
    request.overlapped = &request.spareRecord;
    request.eventBits = &request.spareBits;
    m_requests.Abort(&request);
}

}  // namespace comm
