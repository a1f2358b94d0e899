// The device's life and its driver thread.
#include "platform/comm/comm_device.h"

#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "platform/comm/errno_map.h"
#include "platform/kernel/background_close.h"
#include "platform/kernel/parker.h"

namespace comm {
namespace {

// SetupComm's size is a recommendation, as it is to a Windows driver. A queue
// this size lets a fast line be drained in long runs of reads rather than one
// wake-up of the driver, the watcher and the reader per few kilobytes.
constexpr size_t kDefaultInQueue = 65536;
constexpr size_t kReadChunk = 16384;


int PollTimeout(std::optional<Clock::time_point> deadline, Clock::time_point now) {
    if (!deadline) return -1;
    if (*deadline <= now) return 0;
    // Rounded up, so the driver never wakes just before a deadline and sleeps again.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace

kernel::Ref<CommDevice> CommDevice::Start(std::unique_ptr<Line> line) {
    int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        SetLastError(Win32FromErrno(errno));
        line->Close(false, {}, {});
        return {};
    }
    // The line is taken only once the device is allocated.
    auto* created = new (std::nothrow) CommDevice(std::move(line), wakeFd);
    if (!created) {
        line->Close(false, {}, {});
        close(wakeFd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    auto device = kernel::Ref<CommDevice>::Adopt(created);  // from here the device closes the line
    if (!device->m_watch.Valid()) {
        SetLastError(Win32FromErrno(errno));
        return {};
    }
    try {
        device->m_driver = std::thread(&CommDevice::Drive, created);
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    return device;
}

CommDevice::CommDevice(std::unique_ptr<Line> line, int wakeFd)
    : m_line(std::move(line)),
      m_wakeFd(wakeFd),
      m_watch(wakeFd),
      m_dcb(m_line->CurrentDcb()),
      m_input(kDefaultInQueue),
      m_received(kReadChunk) {}

CommDevice::~CommDevice() {
    // A device whose handle never closed (its driver thread could not start) closes here.
    if (!m_closeStarted) CloseLine(false, {}, {});
}

void CommDevice::OnHandleClosed() {
    bool hungUp;
    bool drain;
    Clock::duration characterTime;
    LineBacklog backlog;
    {
        std::unique_lock lock(m_lock);
        m_closed = true;
        m_requests.AbortAll();
        // The line is closed after this: a wait that watches it lets go first.
        if (m_lendingParker) {
            m_lendingParker->Mark();  // marked after its wait armed it: the wait ends and looks again
            m_lendingParker->Wake();
        }
        m_lendEnded.wait(lock, [this] { return m_lendingParker == nullptr; });
        UnwatchLent();
        hungUp = m_hungUp;
        drain = m_drainAtClose && !m_hungUp;
        characterTime = CharacterTime(m_dcb);
        backlog = m_backlog;
    }
    Wake();
    // A device that hung up takes no line back: kept now, so that an open of
    // the device come back (another number, the close still running) finds it.
    if (hungUp) m_line->KeepAfterHangUp();
    m_closeStarted = true;
    const Clock::duration allowance = m_line->CloseAllowance(drain, characterTime);
    kernel::StartBackgroundClose(m_line->CloseKey(), m_line->Name(),
                                 std::chrono::ceil<std::chrono::milliseconds>(allowance),
                                 [device = kernel::Ref<CommDevice>::Share(this), drain, characterTime, backlog] {
                                     if (device->m_driver.joinable()) device->m_driver.join();
                                     device->AwaitSettings();
                                     device->CloseLine(drain, characterTime, backlog);
                                 });
}

void CommDevice::CloseLine(bool drain, Clock::duration characterTime, const LineBacklog& backlog) {
    m_line->Close(drain, characterTime, backlog);
    close(m_wakeFd);
}

void CommDevice::AwaitSettings() {
    std::unique_lock lock(m_lock);
    m_lineSet.wait(lock, [this] { return !m_settingLine; });
}

std::unique_lock<std::mutex> CommDevice::LockOpen() {
    std::unique_lock lock(m_lock);
    if (m_closed) {
        lock.unlock();
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return lock;
}

void CommDevice::Wake() {
    std::uint64_t one = 1;
    // Only fails when the counter is saturated, which already means "wake up".
    [[maybe_unused]] ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void CommDevice::Drive() {
    pthread_setname_np(pthread_self(), "zandrel-line");  // as top and perf show it
    // What the driver completes wakes its waiters once the device lock is
    // free, rather than into a lock the driver still holds.
    kernel::WakeBatch wakes;
    std::unique_lock lock(m_lock);
    while (!m_closed) {
        std::optional<Clock::time_point> deadline = m_requests.NearestDeadline();
        if (!WatchLine()) {
            HangUp();  // the line cannot be watched any more
            continue;
        }
        // Input the line has already taken in waits to be read, and so does
        // what an ended line still holds once the queue has room.
        const bool taken = LineUsable() && !m_inputPaused && !m_lendingParker && (m_lineEnding || m_line->HasInput());
        int timeout = taken ? 0 : PollTimeout(deadline, Clock::now());
        lock.unlock();
        wakes.Flush();
        kernel::LineWatch::Result ready = m_watch.Wait(timeout);
        lock.lock();
        auto now = Clock::now();
        if (ready.error != 0 && ready.error != EINTR) {
            HangUp();  // the line cannot be watched any more
            continue;
        }
        if (ready.woken) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t got = ::read(m_wakeFd, &count, sizeof count);
        }
        if ((ready.line & (EPOLLHUP | EPOLLERR)) || m_lineEnding) ReadToTheEnd(now);
        else if ((ready.line & EPOLLIN) || taken) ReadLine(now);
        if (ready.line & EPOLLOUT) m_outputBlocked = false;
        PumpWrites(now);
        m_requests.ExpireDeadlines(now);
    }
}

bool CommDevice::WatchLine() {
    if (!LineUsable()) return m_watch.Watch(-1, 0);
    // What arrives is taken out of the kernel at once: its buffer is small, a
    // full one throttles a USB adapter into overrunning, and a hang-up
    // discards it. Only a full queue stops reading: the bytes then wait in
    // the kernel, whose flow control holds them. Reading starts again once
    // there is room for a long read: a reader slower than the line would
    // otherwise wake the driver for a short read at each of its own.
    m_inputPaused = m_input.Free() < (m_inputPaused ? RoomToResume() : 1);
    // An ended line would report its end again and again: it is read as the queue has room.
    if (m_lineEnding) return m_watch.Watch(-1, 0);
    std::uint32_t events = 0;
    if (!m_inputPaused) events |= EPOLLIN;
    if (m_outputBlocked) events |= EPOLLOUT;
    return m_watch.Watch(m_line->Descriptor(), events);  // hang-ups are reported even with no events asked
}

size_t CommDevice::RoomToResume() const { return std::min(m_received.size(), std::max<size_t>(1, m_input.Capacity() / 2)); }

void CommDevice::InputTaken(size_t taken) {
    if (taken == 0) return;
    UpdateInputFlow();
    if (m_inputPaused && m_input.Free() >= RoomToResume()) Wake();
}

bool CommDevice::ReadLine(Clock::time_point now) {
    size_t room = std::min(m_input.Free(), m_received.size());
    if (room == 0 || !LineUsable()) return false;
    LineInput input = m_line->Read(m_received.data(), room);
    if (input.ended) {
        HangUp();
        return false;
    }
    const bool gave = input.length > 0;
    m_lost += input.lost;
    input.length = m_flow.TakeFlowChars(m_received.data(), input.length);
    if (input.length > 0) {
        input.events |= EV_RXCHAR;
        if (std::memchr(m_received.data(), static_cast<BYTE>(m_dcb.EvtChar), input.length)) input.events |= EV_RXFLAG;
        // Stamped when they left the kernel, not when the driver woke for them.
        Deliver(m_received.data(), input.length, m_arrivals.Keeping() ? Clock::now() : now);
        UpdateInputFlow();
    }
    m_errors |= input.errors;
    RaiseEvents(input.events);
    return gave;
}

void CommDevice::ReadToTheEnd(Clock::time_point now) {
    // Out of the lent thread's set too: its waits would find the end again and again.
    if (!std::exchange(m_lineEnding, true)) UnwatchLent();
    // A read that gives nothing, after the line said it ended, is its "no more".
    while (LineUsable() && m_input.Free() > 0)
        if (!ReadLine(now) && LineUsable()) HangUp();
}

void CommDevice::Deliver(const BYTE* data, size_t count, Clock::time_point now) {
    const size_t taken = m_requests.Deliver(data, count, now);
    m_input.Push(data + taken, count - taken);
    m_arrivals.Note(count - taken, now);
}

void CommDevice::RaiseEvents(DWORD events) {
    events &= m_mask;
    if (events && !m_requests.EndWait(events)) m_history |= events;
}

void CommDevice::TakeLineCounts() {
    LineInput counted;
    m_line->TakeCounts(counted);
    m_lost += counted.lost;
    m_errors |= counted.errors;
    RaiseEvents(counted.events);
}

void CommDevice::PumpWrites(Clock::time_point now) {
    while (LineUsable() && !m_outputBlocked && !OutputStopped() && m_requests.WritesPending()) {
        Request* write = m_requests.NextWrite();
        ssize_t put = WriteLine(write->data + write->done, write->length - write->done, now);
        if (put < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) m_outputBlocked = true;
            else ReadToTheEnd(now);  // what came before the end is kept
            return;
        }
        write->done += static_cast<DWORD>(put);
        if (write->done < write->length) continue;
        m_requests.WriteDone(now);
        if (!m_requests.WritesPending()) RaiseEvents(EV_TXEMPTY);
    }
}

ssize_t CommDevice::WriteLine(const BYTE* data, size_t length, Clock::time_point now) {
    ssize_t put = m_line->Write(data, length);
    if (put > 0) m_backlog.Written(static_cast<size_t>(put), now, CharacterTime(m_dcb));
    return put;
}

void CommDevice::HangUp() {
    if (m_hungUp) return;
    m_hungUp = true;
    m_requests.EndAtHangUp();
}

}  // namespace comm
