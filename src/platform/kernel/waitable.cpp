#include "platform/kernel/waitable.h"

#include <chrono>

namespace kernel {

std::mutex& WaitLock() {
    static std::mutex lock;
    return lock;
}

void Waitable::Signal() {
    std::lock_guard lock(WaitLock());
    SignalLocked();
}

void Waitable::Unsignal() {
    std::lock_guard lock(WaitLock());
    m_signalled = false;
}

void Waitable::SignalLocked() {
    m_signalled = true;
    // Notified under the lock: a waiter cannot unlink and destroy its
    // condition variable before this loop is done with it.
    m_waiters.ForEach([](WaitLink* link) { link->wake->notify_one(); });
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

}  // namespace

DWORD WaitFor(Waitable* const* objects, DWORD count, bool waitAll, DWORD milliseconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(WaitLock());
    int index = ReadyIndex(objects, count, waitAll);
    if (index < 0 && milliseconds != 0) {
        std::condition_variable wake;
        WaitLink links[MAXIMUM_WAIT_OBJECTS];
        for (DWORD i = 0; i < count; ++i) {
            links[i].wake = &wake;
            objects[i]->LinkLocked(links[i]);
        }
        auto ready = [&] { return (index = ReadyIndex(objects, count, waitAll)) >= 0; };
        if (milliseconds == INFINITE) wake.wait(lock, ready);
        else wake.wait_until(lock, deadline, ready);
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
