#include "platform/kernel/parker.h"

#include <linux/futex.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <mutex>

namespace kernel {
namespace {

std::mutex g_freeLock;
Parker* g_free = nullptr;  // parkers whose threads have ended, under g_freeLock

thread_local WakeBatch* t_openBatch = nullptr;

}  // namespace

bool Parker::Park(Deadline deadline) {
    timespec until{};
    if (deadline) {
        // FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC time: the steady clock's.
        const auto since = deadline->time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        until.tv_sec = static_cast<time_t>(seconds.count());
        until.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
    }
    while (m_word.load(std::memory_order_acquire) == 0) {
        const long result = syscall(SYS_futex, &m_word, FUTEX_WAIT_BITSET_PRIVATE, 0, deadline ? &until : nullptr,
                                    nullptr, FUTEX_BITSET_MATCH_ANY);
        if (result != 0 && errno == ETIMEDOUT) return m_word.load(std::memory_order_acquire) != 0;
    }
    return true;
}

bool Parker::ParkWatching(Deadline deadline, std::uint32_t& lineEvents) {
    lineEvents = 0;
    const int wakeFd = m_pollWake.load(std::memory_order_relaxed);
    if (wakeFd < 0) return Park(deadline);  // nothing to sleep on: PreparePollWake was not called
    // A waker marks, then looks whether the sleeper polls; the sleeper says
    // it polls, then looks whether it was marked: one of the two sees the other.
    m_polling.store(true, std::memory_order_seq_cst);
    bool woken = true;
    if (m_word.load(std::memory_order_seq_cst) == 0) {
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        }
        // What the kernel gave this set is taken here: an exclusive wake-up
        // it gave this thread went to nobody else.
        const LineWatch::Result ready = m_pollSet->Wait(timeout);
        lineEvents = ready.line;
        if (!ready.woken && ready.line == 0 && ready.error == 0)
            woken = m_word.load(std::memory_order_seq_cst) != 0;  // the deadline
        if (ready.woken) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t got = read(wakeFd, &count, sizeof count);
        }
    }
    m_polling.store(false, std::memory_order_seq_cst);
    return woken;
}

void Parker::Wake() {
    if (m_polling.load(std::memory_order_seq_cst)) {
        std::lock_guard lock(m_pollWakeLock);
        const int wakeFd = m_pollWake.load(std::memory_order_relaxed);
        if (wakeFd >= 0) eventfd_write(wakeFd, 1);
        return;
    }
    syscall(SYS_futex, &m_word, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

bool Parker::PreparePollWake() {
    if (m_pollWake.load(std::memory_order_relaxed) >= 0) return true;
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) return false;
    std::lock_guard lock(m_pollWakeLock);
    if (!m_pollSet.emplace(wakeFd).Valid()) {
        m_pollSet.reset();
        close(wakeFd);
        return false;
    }
    m_pollWake.store(wakeFd, std::memory_order_relaxed);
    return true;
}

bool Parker::WatchLine(int lineFd, bool& added) {
    std::lock_guard lock(m_pollWakeLock);
    added = !m_pollSet->Watches(lineFd);
    return m_pollSet->Watch(lineFd, EPOLLIN);
}

void Parker::UnwatchLine(int lineFd) {
    std::lock_guard lock(m_pollWakeLock);
    if (m_pollSet && m_pollSet->Watches(lineFd)) m_pollSet->Watch(-1, 0);
}

void Parker::ClosePollWake() {
    std::lock_guard lock(m_pollWakeLock);
    m_pollSet.reset();
    const int wakeFd = m_pollWake.exchange(-1, std::memory_order_relaxed);
    if (wakeFd >= 0) close(wakeFd);
}

Parker& ThisThreadParker() {
    // Taken from the free parkers at the thread's first wait, given back when it ends.
    struct Owned {
        Parker* parker;
        Owned() {
            std::lock_guard lock(g_freeLock);
            parker = g_free ? g_free : new Parker;
            if (g_free) g_free = g_free->m_nextFree;
        }
        ~Owned() {
            parker->ClosePollWake();
            std::lock_guard lock(g_freeLock);
            parker->m_nextFree = g_free;
            g_free = parker;
        }
    };
    thread_local Owned owned;
    return *owned.parker;
}

WakeBatch::WakeBatch() : m_open(t_openBatch == nullptr) {
    if (m_open) t_openBatch = this;
}

WakeBatch::~WakeBatch() {
    if (!m_open) return;
    Flush();
    t_openBatch = nullptr;
}

void WakeBatch::Flush() {
    for (std::size_t i = 0; i < m_count; ++i) m_owed[i]->Wake();
    m_count = 0;
}

void WakeBatch::Owe(Parker& parker) {
    if (&parker == &ThisThreadParker()) return;  // running, and looks again before it sleeps
    WakeBatch* batch = t_openBatch;
    if (batch && batch->m_count < kCapacity) batch->m_owed[batch->m_count++] = &parker;
    else parker.Wake();  // no room to put it off: late is worse than early
}

void WakeBatch::FlushOpen() {
    if (t_openBatch) t_openBatch->Flush();
}

}  // namespace kernel
