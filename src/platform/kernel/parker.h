// How a waiting thread sleeps and is woken: each thread has a parker, a word
// it sleeps on (a futex) while it waits for kernel objects.
//
// A signaller marks the parkers of an object's waiters under the wait lock
// and makes the wake-up calls after it has let go of its locks, so that the
// woken thread does not run straight into a lock its waker still holds.
// Parkers are never freed: one whose thread has ended is kept for the next
// thread, so a late wake-up call touches a live word, and at worst wakes its
// new owner for nothing (every wait checks again what it waits for).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/kernel/line_watch.h"

namespace kernel {

class Parker {
public:
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;

    // Under the wait lock: from here a Mark() ends the next Park().
    void Arm() { m_word.store(0, std::memory_order_seq_cst); }
    // Under the wait lock: the object this thread waits for changed.
    void Mark() { m_word.store(1, std::memory_order_seq_cst); }
    // Sleeps until marked, or the deadline passes; false on the deadline.
    bool Park(Deadline deadline);
    // Park, and also until the line WatchLine registered has input, hangs up
    // or fails (its epoll events into lineEvents), or any wake-up call comes.
    // Sleeps in epoll_wait on the set PreparePollWake made.
    bool ParkWatching(Deadline deadline, std::uint32_t& lineEvents);
    // The wake-up call for a Mark(), made without holding any lock; it
    // reaches the parker in either kind of sleep.
    void Wake();
    // Makes the eventfd and the epoll set ParkWatching sleeps on, if they are
    // not there yet; they stay until the thread ends. False if they could not be made.
    bool PreparePollWake();
    // Registers lineFd in the set for input, in place of any line there
    // before, and keeps it between waits. The registration is exclusive: while
    // this thread sleeps in ParkWatching, input wakes it and no other
    // exclusive watcher of the line registered after it (the device's driver);
    // while it does not, input wakes them. added: it was not registered before,
    // so a watcher that is to come after it registers again. False (errno set)
    // if it could not be registered.
    bool WatchLine(int lineFd, bool& added);
    // Takes lineFd out of the set, if it is the line there; any thread may call it.
    void UnwatchLine(int lineFd);

private:
    friend Parker& ThisThreadParker();
    // The eventfd and the epoll set go with the thread that made them: a
    // parker is kept, its descriptors are not.
    void ClosePollWake();

    std::atomic<std::uint32_t> m_word{0};
    std::atomic<bool> m_polling{false};  // asleep, or about to be, in ParkWatching's epoll_wait()
    std::mutex m_pollWakeLock;           // a late Wake() or UnwatchLine never uses a descriptor closed since
    std::atomic<int> m_pollWake{-1};     // the eventfd
    std::optional<LineWatch> m_pollSet;  // it and the lent line, under m_pollWakeLock; its waits the thread's own
    Parker* m_nextFree = nullptr;
};

// The calling thread's parker.
Parker& ThisThreadParker();

// Wake-up calls a thread owes, made when it lets go of its locks. While a
// batch exists on a thread, marks made there are woken by its Flush() or its
// end; a batch made while another is open on the thread leaves them to that
// one. A thread flushes its batch before it sleeps in a wait of its own.
class WakeBatch {
public:
    WakeBatch();
    ~WakeBatch();
    WakeBatch(const WakeBatch&) = delete;
    WakeBatch& operator=(const WakeBatch&) = delete;

    void Flush();

    // A marked parker's wake-up call: into the thread's open batch, or made now.
    static void Owe(Parker& parker);
    // Makes the calls the thread's open batch holds, if it has one.
    static void FlushOpen();

private:
    static constexpr std::size_t kCapacity = 16;
    Parker* m_owed[kCapacity];
    std::size_t m_count = 0;
    bool m_open;  // this is the thread's open batch, not one inside it
};

}  // namespace kernel
