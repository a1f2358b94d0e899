// The line lent to the thread that waits for the device's events: a packet
// after a quiet line wakes that thread alone, rather than the driver thread
// and then that thread. Both keep the line registered, exclusively, in their
// epoll sets, the lent thread's first: the kernel gives input to that thread
// while it sleeps in its wait and to the driver otherwise, so no registration
// changes from one packet to the next.
#include <sys/epoll.h>

#include "platform/comm/comm_device.h"

namespace comm {

bool CommDevice::TakeLender() {
    if (m_lenderRegistered || !(m_mask & (EV_RXCHAR | EV_RXFLAG))) return false;
    m_lenderRegistered = true;
    return true;
}

bool CommDevice::BeginLend(kernel::Parker& waiter) {
    std::lock_guard lock(m_lock);
    // Lent while this thread waits on its pending WaitCommEvent: a pause
    // between two (a worker's gather) leaves the line to the driver, whose
    // sleep costs less per packet of a stream than a wait's. A full queue
    // reads nothing, so input would only wake the thread again and again, and
    // one the driver has stopped reading for is read when it has room again.
    if (m_closed || !m_lenderRegistered || m_requests.WaitIssuer() != &kernel::ThreadIo::Current() ||
        !LineLendable() || m_input.Free() == 0 || m_inputPaused || !waiter.PreparePollWake())
        return false;
    // What the line holds already is read, not waited for. Input that came
    // while this thread was between two waits woke the driver; read here,
    // under the lock the driver then waits for, it does not also wake this
    // thread out of the wait it is about to begin, the two then taking turns
    // at the lock for one read.
    ReadLine(Clock::now());
    if (!m_requests.WaitPending() || !LineLendable()) {
        if (m_requests.ReadsPending() || m_requests.WritesPending()) Wake();
        return false;
    }
    bool added = false;
    if (!waiter.WatchLine(m_line->Descriptor(), added)) return false;  // the driver watches as before
    m_lentParker = &waiter;
    // The driver's registration goes behind the thread's, so that the thread
    // is the one woken while it waits.
    if (added && !m_watch.Requeue()) {
        Wake();  // the driver finds the line cannot be watched
        return false;
    }
    m_lendingParker = &waiter;
    return true;
}

void CommDevice::EndLend(std::uint32_t lineEvents) {
    std::lock_guard lock(m_lock);
    m_lendingParker = nullptr;
    m_lendEnded.notify_all();
    if (m_closed || !LineUsable()) return;
    if (lineEvents & (EPOLLHUP | EPOLLERR)) ReadToTheEnd(Clock::now());
    else if (lineEvents & EPOLLIN) ReadLine(Clock::now());
    // Deadlines of reads, and writes that the read let go (an XON), are the driver's.
    if (!WatchLine() || m_requests.ReadsPending() || m_requests.WritesPending()) Wake();
}

void CommDevice::Unlend() {
    std::lock_guard lock(m_lock);
    m_lenderRegistered = false;
    UnwatchLent();
}

void CommDevice::UnwatchLent() {
    if (m_lentParker) m_lentParker->UnwatchLine(m_line->Descriptor());
    m_lentParker = nullptr;
}

}  // namespace comm
