#include "platform/kernel/waitable.h"

#include <chrono>

#include "platform/kernel/lent_line.h"

namespace kernel {

std::mutex& WaitLock() {
    static std::mutex lock;
    return lock;
}

void Waitable::Signal() {
    WakeBatch wakes;  // destroyed after the lock: the waiters wake to a free lock
    std::lock_guard lock(WaitLock());
    SignalLocked();
}

void Waitable::Unsignal() {
    std::lock_guard lock(WaitLock());
    m_signalled = false;
}

void Waitable::SignalLocked() {
    m_signalled = true;
    m_waiters.ForEach([](WaitLink* link) {
        link->parker->Mark();
        WakeBatch::Owe(*link->parker);
    });
}

void Waitable::LinkLocked(WaitLink& link) { m_waiters.PushFront(link); }

void Waitable::UnlinkLocked(WaitLink& link) { m_waiters.Remove(link); }

namespace {

// The index that satisfies the wait now, or -1.
int ReadyIndex(Waitable* const* objects, DWORD count, bool waitAll) {
    if (waitAll) {
        for (DWORD i = 0; i < count; ++i)
            if (!objects[i]->IsSignalledLocked()) return -1;
        return 0;
    }
    for (DWORD i = 0; i < count; ++i)
        if (objects[i]->IsSignalledLocked()) return static_cast<int>(i);
    return -1;
}

// Sleeps on the parker, watching the line lent to this thread if it has one:
// input there is read here, and may be what this thread waits for.
bool Sleep(Parker& parker, Parker::Deadline deadline) {
    LineLender* lender = LenderOfThisThread();
    if (!lender || !lender->BeginLend(parker)) return parker.Park(deadline);
    std::uint32_t lineEvents = 0;
    const bool woken = parker.ParkWatching(deadline, lineEvents);
    lender->EndLend(lineEvents);
    return woken;
}

}  // namespace

DWORD WaitFor(Waitable* const* objects, DWORD count, bool waitAll, DWORD milliseconds) {
    Parker::Deadline deadline;
    if (milliseconds != INFINITE) deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    WakeBatch::FlushOpen();  // whoever this thread owes a wake-up must not wait for its sleep
    std::unique_lock lock(WaitLock());
    int index = ReadyIndex(objects, count, waitAll);
    if (index < 0 && milliseconds != 0) {
        Parker& parker = ThisThreadParker();
        WaitLink links[MAXIMUM_WAIT_OBJECTS];
        for (DWORD i = 0; i < count; ++i) {
            links[i].parker = &parker;
            objects[i]->LinkLocked(links[i]);
        }
        for (;;) {
            // Armed under the lock that the readiness was just checked under:
            // a signal from here on marks the parker, and the park returns.
            parker.Arm();
            lock.unlock();
            const bool woken = Sleep(parker, deadline);
            lock.lock();
            index = ReadyIndex(objects, count, waitAll);
            if (index >= 0 || !woken) break;
        }
        for (DWORD i = 0; i < count; ++i) objects[i]->UnlinkLocked(links[i]);
    }
    if (index < 0) return WAIT_TIMEOUT;
    if (waitAll) {
        for (DWORD i = 0; i < count; ++i) objects[i]->OnWaitSatisfiedLocked();
    } else {
        objects[index]->OnWaitSatisfiedLocked();
    }
    return WAIT_OBJECT_0 + static_cast<DWORD>(index);
}

}  // namespace kernel

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    // References keep every object alive while this thread is linked into it.
    kernel::Ref<kernel::Waitable> held[MAXIMUM_WAIT_OBJECTS];
    kernel::Waitable* objects[MAXIMUM_WAIT_OBJECTS];
    for (DWORD i = 0; i < count; ++i) {
        held[i] = kernel::Lookup<kernel::Waitable>(handles[i]);
        if (!held[i]) return WAIT_FAILED;
        objects[i] = held[i].get();
    }
    return kernel::WaitFor(objects, count, waitAll != FALSE, milliseconds);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}
