// Objects a thread can wait for. Their signalled state lives under one kernel
// lock; a waiter sleeps on its thread's parker (parker.h), linked into every
// object it waits for, and is woken by the signal itself.
#pragma once

#include <mutex>

#include "platform/kernel/intrusive_list.h"
#include "platform/kernel/kernel_object.h"
#include "platform/kernel/parker.h"

namespace kernel {

// Guards the signalled state of every waitable object and the waiter lists.
// Taken last: no other lock is acquired while it is held.
std::mutex& WaitLock();

// A waiting thread's place in the waiter list of one object it waits for.
struct WaitLink : ListNode<WaitLink> {
    Parker* parker = nullptr;
};

class Waitable : public Object {
public:
    // Both take the wait lock. Signal wakes the waiters once it has let go of
    // it, or when the thread's open WakeBatch flushes.
    void Signal();
    void Unsignal();

    // Under the wait lock.
    bool IsSignalledLocked() const { return m_signalled; }
    // Marks the waiters; their wake-up calls go to the thread's open
    // WakeBatch, or are made at once without one.
    void SignalLocked();
    // A wait was satisfied by this object (an auto-reset event resets here).
    virtual void OnWaitSatisfiedLocked() {}
    void LinkLocked(WaitLink& link);
    void UnlinkLocked(WaitLink& link);

protected:
    bool m_signalled = false;

private:
    IntrusiveList<WaitLink> m_waiters;
};

// Waits until one of the objects (or all, with waitAll) is signalled, or the
// time-out passes. Returns WAIT_OBJECT_0 + the lowest signalled index, or WAIT_TIMEOUT.
DWORD WaitFor(Waitable* const* objects, DWORD count, bool waitAll, DWORD milliseconds);

}  // namespace kernel
