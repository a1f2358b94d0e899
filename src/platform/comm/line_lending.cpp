// The line lent to the thread that waits for the device's events: a packet
// after a quiet line wakes that thread alone, rather than the driver thread
// and then that thread. Which of the two watches input changes with the
// driver's registration of the line, which any thread may change under the
// device lock without waking the driver.
#include <poll.h>

#include "platform/comm/comm_device.h"

namespace comm {

bool CommDevice::TakeLender() {
    if (m_lenderRegistered || !(m_mask & (EV_RXCHAR | EV_RXFLAG))) return false;
    m_lenderRegistered = true;
    return true;
}

int CommDevice::BeginLend(kernel::Parker& waiter) {
    std::lock_guard lock(m_lock);
    // Lent while this thread waits on its pending WaitCommEvent: a pause
    // between two (a worker's gather) leaves the line to the driver, whose
    // sleep costs less per packet of a stream than a wait's.
    if (m_closed || !m_lenderRegistered || !m_wait || m_wait->issuer != &kernel::ThreadIo::Current() ||
        !LineUsable() || m_input.Free() == 0 || !waiter.PreparePollWake())
        return -1;
    if (m_line->HasInput()) {
        ReadLine(Clock::now());  // what the line holds already is read, not waited for
        if (!m_reads.Empty() || !m_writes.Empty()) Wake();
        return -1;
    }
    m_lendingParker = &waiter;
    if (!WatchLine()) {
        m_lendingParker = nullptr;
        Wake();  // the driver finds the line cannot be watched
        return -1;
    }
    return m_line->Descriptor();
}

void CommDevice::EndLend(short lineEvents) {
    std::lock_guard lock(m_lock);
    m_lendingParker = nullptr;
    m_lendEnded.notify_all();
    if (m_closed || !LineUsable()) return;
    if (lineEvents & POLLIN) ReadLine(Clock::now());
    if (lineEvents & (POLLHUP | POLLERR | POLLNVAL)) HangUp();
    // Out of its wait, input is the driver's again; deadlines of reads, and
    // writes that the read let go (an XON), are the driver's too.
    if (!WatchLine() || !m_reads.Empty() || !m_writes.Empty()) Wake();
}

void CommDevice::Unlend() {
    std::lock_guard lock(m_lock);
    m_lenderRegistered = false;
}

}  // namespace comm
