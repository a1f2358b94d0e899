// I/O a thread leaves pending when it ends is cancelled before its handle is
// signalled, as on Windows: nothing may complete into an OVERLAPPED on a dead
// thread's stack. A device tracks each pending operation with the thread that
// started it; the thread's end aborts whatever is still tracked.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/kernel/intrusive_list.h"
#include "platform/kernel/kernel_object.h"

namespace kernel {

class ThreadIo;
class PendingIo;

// A device that keeps operations pending.
class IoTarget : public Object {
public:
    // Cancels `io` if it is still the operation numbered `ticket`, without
    // writing into the ended thread's records (its OVERLAPPED and result
    // variables), and returns only once the device can no longer write there.
    virtual void AbortAtThreadExit(PendingIo& io, std::uint64_t ticket) = 0;
};

// Embedded in a device's operation record; the device keeps the record's
// storage until the device itself is destroyed.
class PendingIo : public ListNode<PendingIo> {
private:
    friend class ThreadIo;
    ThreadIo* m_owner = nullptr;  // whose list it is in, if any
    IoTarget* m_target = nullptr;
    std::uint64_t m_ticket = 0;
};

class ThreadIo {
public:
    // The calling thread's list.
    static ThreadIo& Current();

    // Both are called with the target's own lock held, so a record is never
    // tracked and untracked at once.
    void Track(PendingIo& io, IoTarget& target, std::uint64_t ticket);
    static void Untrack(PendingIo& io);

    // Aborts every operation still tracked; runs on the owning thread as it ends.
    void AbortAll();

    ThreadIo() = default;
    ThreadIo(const ThreadIo&) = delete;
    ThreadIo& operator=(const ThreadIo&) = delete;
    ~ThreadIo() { AbortAll(); }

private:
    std::mutex m_lock;
    IntrusiveList<PendingIo> m_pending;
};

}  // namespace kernel
