// A device's operations in flight: the ReadFile and WriteFile calls that wait,
// each list first in, first out, and the one pending WaitCommEvent; how each
// starts, completes or is aborted, and when the next COMMTIMEOUTS deadline
// falls. All of it runs with the device lock held.
//
// Every write into a caller's records (OVERLAPPED, buffers, event bits) is made
// here, under that lock, so once a cancel has taken it and completed an
// operation, nothing more is written for it. The byte count of a pending
// transfer goes to OVERLAPPED::InternalHigh only: the caller's count variable
// is written only when the call completes at once, since a pending call's
// count may live in a frame that has already returned.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/comm/request.h"
#include "platform/comm/timeout_rules.h"
#include "platform/kernel/event.h"
#include "platform/kernel/pending_io.h"

namespace comm {

class PendingRequests {
public:
    // device: what a thread that ends with an operation in flight asks to abort it.
    explicit PendingRequests(kernel::IoTarget& device) : m_device(device) {}

    // A record for an operation, taken before anything is done that a failure
    // would lose; null when out of memory. One not used is given back.
    Request* Spare() { return m_pool.Take(); }
    void GiveBack(Request* spare) { m_pool.Give(spare); }

    // Makes spare the pending operation on overlapped, tracked for its
    // thread's exit; the caller fills in what it transfers and queues it.
    Request* Accept(Request* spare, Request::Kind kind, OVERLAPPED* overlapped, kernel::Ref<kernel::Event> event);
    // Queued behind those of its kind; the first one's time limits start now.
    void QueueRead(Request* read, Clock::time_point now);
    void QueueWrite(Request* write, Clock::time_point now);
    void QueueWait(Request* wait, DWORD* bits);
    // A call that completes without pending.
    static void CompleteAtOnce(OVERLAPPED* overlapped, const kernel::Ref<kernel::Event>& event, DWORD transferred);

    bool ReadsPending() const { return !m_reads.Empty(); }
    bool WritesPending() const { return !m_writes.Empty(); }
    bool WaitPending() const { return m_wait != nullptr; }
    // The thread whose WaitCommEvent is pending, if one is.
    const kernel::ThreadIo* WaitIssuer() const { return m_wait ? m_wait->issuer : nullptr; }
    // Bytes the pending writes have yet to hand to the line.
    DWORD OutputQueued() const;

    // Received data goes to the pending reads first; returns the count they
    // took, the rest being the queue's.
    size_t Deliver(const BYTE* data, size_t count, Clock::time_point now);
    // The pending wait, if any, ends with these events; false when none was pending.
    bool EndWait(DWORD events);
    // The write at the head, to be offered to the line; null when none.
    Request* NextWrite() { return m_writes.Front(); }
    // The head write has handed all its data to the line.
    void WriteDone(Clock::time_point now);

    void Abort(Request* request);
    void AbortReads();
    void AbortWrites();
    void AbortAll();
    // CancelIo: the calling thread's operations.
    void AbortIssuedBy(const kernel::ThreadIo* thread);
    // The line hung up: a read that already holds bytes returns them, the rest abort.
    void EndAtHangUp();

    std::optional<Clock::time_point> NearestDeadline() const;
    // Running out of COMMTIMEOUTS time is success with a short count.
    void ExpireDeadlines(Clock::time_point now);

    // GetOverlappedResult's wait, on the device lock held by lock: every
    // pending operation ends, by the line, a deadline, a cancel or the close.
    void AwaitEnd(std::unique_lock<std::mutex>& lock, const OVERLAPPED* overlapped);

private:
    void Complete(Request* request, DWORD status);
    void StartHead(RequestList& list, Clock::time_point now);

    kernel::IoTarget& m_device;
    RequestList m_reads;
    RequestList m_writes;
    Request* m_wait = nullptr;
    RequestPool m_pool;
    std::uint64_t m_nextTicket = 1;
    std::condition_variable m_completed;  // GetOverlappedResult waits here
};

}  // namespace comm
