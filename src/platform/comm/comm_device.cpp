// The device's life and its driver thread.
#include "platform/comm/comm_device.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <system_error>

#include "platform/comm/errno_map.h"
#include "platform/comm/kept_lines.h"
#include "platform/comm/tty_close.h"

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

kernel::Ref<CommDevice> CommDevice::Start(int fd, std::string path, std::string identityKey,
                                          const SavedLine& original) {
    int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        SetLastError(Win32FromErrno(errno));
        close(fd);
        return {};
    }
    auto* created = new (std::nothrow) CommDevice(fd, wakeFd, std::move(path), std::move(identityKey), original);
    if (!created) {
        close(wakeFd);
        close(fd);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    auto device = kernel::Ref<CommDevice>::Adopt(created);  // from here the device closes the descriptors
    try {
        device->m_driver = std::thread(&CommDevice::Drive, created);
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    return device;
}

CommDevice::CommDevice(int fd, int wakeFd, std::string path, std::string identityKey, const SavedLine& original)
    : m_fd(fd),
      m_wakeFd(wakeFd),
      m_path(std::move(path)),
      m_identityKey(std::move(identityKey)),
      m_original(original),
      m_traits(TraitsOf(fd)),
      m_dcb(DcbFromLine(fd, m_traits)),
      m_input(kDefaultInQueue),
      m_haveDriverCounts(ReadDriverCounts(fd, m_driverCounts)),
      m_raw(kReadChunk),
      m_decoded(kReadChunk) {
    m_decoder.SetParityChecked(m_dcb.Parity != NOPARITY);
}

CommDevice::~CommDevice() {
    // The device is left as it was found. A vanished one refuses: its line
    // waits for the device to be back.
    if (m_latencyLowered) SetLowLatency(m_fd, false);
    if (RestoreLine(m_fd, m_original) == 0) ForgetLine(m_path, m_identityKey);
    else KeepLine(m_path, m_identityKey, m_original);
    // Exclusive use ends with the descriptor; a pty's slave would otherwise keep the flag.
    ioctl(m_fd, TIOCNXCL);
    CloseWithoutWaiting(m_fd);
    close(m_wakeFd);
}

void CommDevice::OnHandleClosed() {
    {
        std::lock_guard lock(m_lock);
        m_closed = true;
        while (Request* read = m_reads.Front()) Abort(read);
        while (Request* write = m_writes.Front()) Abort(write);
        if (m_wait) Abort(m_wait);
    }
    Wake();
    if (m_driver.joinable()) m_driver.join();
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
    std::unique_lock lock(m_lock);
    while (!m_closed) {
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {-1, 0, 0}};
        std::optional<Clock::time_point> deadline = NearestDeadline();
        if (!m_hungUp) {
            // What arrives is taken out of the kernel at once: its buffer is
            // small, a full one throttles a USB adapter into overrunning, and
            // a hang-up discards it. Only a full queue stops reading: the bytes
            // then wait in the kernel, whose flow control holds them.
            m_inputPaused = m_input.Free() == 0;
            short events = m_inputPaused ? 0 : POLLIN;
            if (m_outputBlocked) events |= POLLOUT;
            fds[1] = {m_fd, events, 0};  // hang-ups are reported even with no events asked
        }
        int timeout = PollTimeout(deadline, Clock::now());
        lock.unlock();
        int ready = poll(fds, 2, timeout);
        int pollError = errno;
        lock.lock();
        auto now = Clock::now();
        if (ready < 0 && pollError != EINTR) {
            HangUp();  // poll itself failed: the line cannot be watched any more
            continue;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t got = ::read(m_wakeFd, &count, sizeof count);
        }
        short line = fds[1].revents;
        if (line & POLLIN) ReadLine(now);
        if (line & (POLLHUP | POLLERR | POLLNVAL)) HangUp();
        if (line & POLLOUT) m_outputBlocked = false;
        PumpWrites(now);
        ExpireDeadlines(now);
    }
}

void CommDevice::ReadLine(Clock::time_point now) {
    size_t room = std::min(m_input.Free(), m_raw.size());
    if (room == 0) return;
    ssize_t got = ::read(m_fd, m_raw.data(), room);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (got <= 0) {
        HangUp();
        return;
    }
    DWORD errors = 0;
    DWORD events = 0;
    TakeDriverCounts(errors, events);
    DecodedInput input = m_decoder.Decode(m_raw.data(), static_cast<size_t>(got), m_decoded.data());
    errors |= input.errors;
    events |= input.events;
    input.length = TakeFlowChars(m_decoded.data(), input.length);
    if (input.length > 0) {
        events |= EV_RXCHAR;
        if (std::memchr(m_decoded.data(), static_cast<BYTE>(m_dcb.EvtChar), input.length)) events |= EV_RXFLAG;
        Deliver(m_decoded.data(), input.length, now);
        UpdateInputFlow();
    }
    m_errors |= errors;
    RaiseEvents(events);
}

void CommDevice::TakeDriverCounts(DWORD& errors, DWORD& events) {
    DriverCounts counts;
    if (!m_haveDriverCounts || !ReadDriverCounts(m_fd, counts)) return;
    const DriverCounts& last = m_driverCounts;
    m_decoder.AddCounts({counts.breaks - last.breaks, counts.frames - last.frames, counts.parities - last.parities});
    // Overruns never show in the data, only in the counters.
    if (counts.overruns != last.overruns) {
        errors |= CE_OVERRUN;
        events |= EV_ERR;
    }
    if (counts.bufOverruns != last.bufOverruns) errors |= CE_RXOVER;
    m_lost += (counts.overruns - last.overruns) + (counts.bufOverruns - last.bufOverruns);
    m_driverCounts = counts;
}

void CommDevice::PumpWrites(Clock::time_point now) {
    while (!m_hungUp && !m_outputBlocked && !OutputStopped() && !m_writes.Empty()) {
        Request* write = m_writes.Front();
        ssize_t put = ::write(m_fd, write->data + write->done, write->length - write->done);
        if (put < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) m_outputBlocked = true;
            else HangUp();
            return;
        }
        write->done += static_cast<DWORD>(put);
        if (write->done < write->length) continue;
        m_writes.PopFront();
        Complete(write, ERROR_SUCCESS);
        StartHead(m_writes, now);
        if (m_writes.Empty()) RaiseEvents(EV_TXEMPTY);
    }
}

void CommDevice::HangUp() {
    if (m_hungUp) return;
    m_hungUp = true;
    // A read that already holds bytes returns them rather than losing them.
    while (Request* read = m_reads.PopFront()) Complete(read, read->done > 0 ? ERROR_SUCCESS : ERROR_OPERATION_ABORTED);
    while (Request* write = m_writes.Front()) Abort(write);
    if (m_wait) Abort(m_wait);
}

}  // namespace comm
