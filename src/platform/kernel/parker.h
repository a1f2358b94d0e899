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
    // Park, and also until the descriptor has input, hangs up or fails (its
    // poll() events into lineEvents), or any wake-up call comes. Sleeps in
    // poll() on the eventfd PreparePollWake made.
    bool ParkWatching(int lineFd, Deadline deadline, short& lineEvents);
    // The wake-up call for a Mark(), made without holding any lock; it
    // reaches the parker in either kind of sleep.
    void Wake();
    // Makes the eventfd ParkWatching sleeps on, if it is not there yet; it
    // stays until the thread ends. False if it could not be made.
    bool PreparePollWake();

private:
    friend Parker& ThisThreadParker();
    // The eventfd goes with the thread that made it: a parker is kept, its
    // descriptor is not.
    void ClosePollWake();

    std::atomic<std::uint32_t> m_word{0};
    std::atomic<bool> m_polling{false};  // asleep, or about to be, in ParkWatching's poll()
    std::mutex m_pollWakeLock;           // a late Wake() never writes to a descriptor closed since
    std::atomic<int> m_pollWake{-1};
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
