#include "platform/kernel/pending_io.h"

namespace kernel {

ThreadIo& ThreadIo::Current() {
    // Threads not made by CreateThread (the main thread, test threads) abort
    // from this destructor when they end.
    thread_local ThreadIo list;
    return list;
}

void ThreadIo::Track(PendingIo& io, IoTarget& target, std::uint64_t ticket) {
    std::lock_guard lock(m_lock);
    io.m_owner = this;
    io.m_target = &target;
    io.m_ticket = ticket;
    m_pending.PushFront(io);
}

void ThreadIo::Untrack(PendingIo& io) {
    ThreadIo* owner = io.m_owner;
    if (!owner) return;
    std::lock_guard lock(owner->m_lock);
    owner->m_pending.Remove(io);
    io.m_owner = nullptr;
}

void ThreadIo::AbortAll() {
    for (;;) {
        PendingIo* io;
        Ref<IoTarget> target;
        std::uint64_t ticket;
        {
            std::lock_guard lock(m_lock);
            io = m_pending.Front();
            if (!io) return;
            ticket = io->m_ticket;
            // Alive: the device untracks everything (under this lock) before
            // its handle's reference goes, and this reference keeps it and the
            // record's storage from then on.
            target = Ref<IoTarget>::Share(io->m_target);
        }
        // Without the list lock: the device takes its own lock, then this one.
        // Either it aborts the operation (untracking it) or the operation had
        // already completed; both take it off this list.
        target->AbortAtThreadExit(*io, ticket);
    }
}

}  // namespace kernel
