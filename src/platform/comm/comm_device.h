// An open serial device, behaving like a Windows serial driver: its own driver
// thread owns the line (line.h: a tty, or a port server across the network),
// fills the input queue, completes the operations in flight
// (pending_requests.h), keeps the event history and the line errors, and
// enforces COMMTIMEOUTS. It sleeps (line_watch.h) until the line, a request or
// the nearest deadline needs it. One lock, the device's, guards all of it.
//
// The thread that waits for the device's events (the first to call
// WaitCommEvent) is lent the line (kernel/lent_line.h): while it sleeps in a
// wait, the kernel wakes it, not the driver thread, for what arrives, and it
// reads that itself; out of its waits, the driver is woken and reads.
//
// After a hang-up (the device vanished, the pty master closed) pending
// operations end with ERROR_OPERATION_ABORTED (a read that already holds bytes
// returns them), data already queued can still be read, and every later
// transfer or wait fails with ERROR_DEVICE_NOT_CONNECTED.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/comm/arrival_marks.h"
#include "platform/comm/call_result.h"
#include "platform/comm/flow_control.h"
#include "platform/comm/input_queue.h"
#include "platform/comm/line.h"
#include "platform/comm/line_backlog.h"
#include "platform/comm/pending_requests.h"
#include "platform/comm/timeout_rules.h"
#include "platform/kernel/lent_line.h"
#include "platform/kernel/line_watch.h"
#include "platform/kernel/pending_io.h"

namespace comm {

class CommDevice final : public kernel::IoTarget, private kernel::LineLender {
public:
    // Takes an open line and starts the driver thread. On failure closes the
    // line and sets the last error.
    static kernel::Ref<CommDevice> Start(std::unique_ptr<Line> line);

    // The Win32 operations; FALSE with the last error set on failure. The
    // caller has checked its pointers (the entry check in comm_api.cpp); each
    // operation checks that the handle was not closed meanwhile.
    BOOL Read(BYTE* buffer, DWORD length, DWORD* count, OVERLAPPED* overlapped);
    BOOL Write(const BYTE* data, DWORD length, DWORD* count, OVERLAPPED* overlapped);
    BOOL WaitEvent(DWORD* bits, OVERLAPPED* overlapped);
    BOOL GetResult(OVERLAPPED* overlapped, DWORD* count, bool wait);
    BOOL CancelThreadIo();

    BOOL Setup(DWORD inQueue);
    BOOL GetState(DCB* dcb);
    BOOL GetProperties(COMMPROP* properties);
    BOOL SetState(const DCB* dcb);
    BOOL GetMask(DWORD* mask);
    BOOL SetMask(DWORD mask);
    BOOL GetTimeouts(COMMTIMEOUTS* timeouts);
    BOOL SetTimeouts(const COMMTIMEOUTS* timeouts);
    BOOL ClearError(DWORD* errors, COMSTAT* status);
    BOOL GetLostCount(ULONGLONG* lost);
    BOOL Purge(DWORD flags);
    // The close lets the line send what it holds before it puts the settings back.
    BOOL DrainAtClose();
    // Arrival times (comm_arrivals.cpp).
    BOOL KeepArrivals(bool keep);
    BOOL GetErrorCounts(ULONGLONG* framing, ULONGLONG* parity);
    BOOL ReadArrivals(BYTE* buffer, DWORD length, DWORD* count, COMMARRIVAL* arrivals, DWORD maxArrivals,
                      DWORD* arrivalCount);

    // The driver thread is joined and the line put back on a thread of its
    // own (kernel/background_close.h): CloseHandle returns at once.
    void OnHandleClosed() override;
    void AbortAtThreadExit(kernel::PendingIo& io, std::uint64_t ticket) override;

    // The line lent to the waiting thread (line_lending.cpp).
    bool BeginLend(kernel::Parker& waiter) override;
    void EndLend(std::uint32_t lineEvents) override;
    void Unlend() override;

    ~CommDevice() override;

private:
    CommDevice(std::unique_ptr<Line> line, int wakeFd);

    // The device lock, taken at the start of every operation; one that owns
    // nothing (with ERROR_INVALID_HANDLE set) once the handle was closed.
    std::unique_lock<std::mutex> LockOpen();
    // A Get call: the setting, read under the lock, into the caller's record.
    template <class T>
    BOOL CopyOut(const T& setting, T* out);

    // All below run with m_lock held.
    // Received data to the pending reads, the rest to the queue.
    void Deliver(const BYTE* data, size_t count, Clock::time_point now);
    // Ends the pending wait with the events the mask selects; kept for the next wait when none is pending.
    void RaiseEvents(DWORD events);
    void PumpWrites(Clock::time_point now);
    // ::write to the line; what it took counts in m_backlog.
    ssize_t WriteLine(const BYTE* data, size_t length, Clock::time_point now);
    void HangUp();
    void Wake();
    // The line may be called: it has not hung up, and no change of settings
    // has it (a network line's waits for its server without the lock).
    bool LineUsable() const { return !m_hungUp && !m_settingLine; }
    // The line may be lent: usable, and not being read to its end.
    bool LineLendable() const { return LineUsable() && !m_lineEnding; }

    // Flow control's calls that need the device: its line usable, its driver woken.
    void UpdateInputFlow() {
        if (LineUsable()) m_flow.FollowQueue();
    }
    void ReadStatusLines() {
        if (m_flow.ReadStatusLines(LineUsable())) Wake();  // held writes go on
    }
    bool OutputStopped() const { return m_flow.Holding() || (LineUsable() && m_line->OutputSuspended()); }

    // WaitEvent's work under the lock; lend: the calling thread is to be lent the line.
    BOOL StartWait(DWORD* bits, OVERLAPPED* overlapped, kernel::Ref<kernel::Event> event, bool& lend);
    // Under the lock: the calling thread is to be lent the line, no other
    // thread being lent it.
    bool TakeLender();
    // The line out of the lent-to thread's set, before it closes or is lent no more.
    void UnwatchLent();
    // Under the lock: what the driver thread's sleep watches of the line, from
    // the device's state: input unless the queue is full, output while the
    // line takes nothing. False if it could not.
    bool WatchLine();
    // A read took `taken` bytes from the queue: flow control follows, and a
    // driver stopped by a full queue reads again once there is room for a long read.
    void InputTaken(size_t taken);
    size_t RoomToResume() const;

    // The driver thread.
    void Drive();
    // One read of the line into the queue; false when it gave nothing.
    bool ReadLine(Clock::time_point now);
    // The line reported a hang-up or a reset: what the kernel still holds is
    // read, as far as the queue has room, until the line says there is no
    // more; then the device hangs up. With the queue full, the rest waits
    // until a read of the queue makes room.
    void ReadToTheEnd(Clock::time_point now);
    // The line's counters of lost input, into the errors and events.
    void TakeLineCounts();

    // A change of settings that has the line ends before the line closes.
    void AwaitSettings();
    // The close's own work, on its thread once the driver thread has ended.
    void CloseLine(bool drain, Clock::duration characterTime, const LineBacklog& backlog);

    const std::unique_ptr<Line> m_line;
    const int m_wakeFd;
    kernel::LineWatch m_watch;  // its registration under m_lock; its waits the driver thread's
    std::thread m_driver;

    std::mutex m_lock;
    bool m_closed = false;
    bool m_hungUp = false;
    bool m_lineEnding = false;     // the line reported its end: read, not watched, until it has no more
    bool m_outputBlocked = false;  // the last write found the line full
    bool m_inputPaused = false;    // the queue was full: the driver stopped reading until RoomToResume
    bool m_settingLine = false;    // SetCommState has the line, without the lock
    std::condition_variable m_lineSet;  // SetCommState waits here for another one to end

    DCB m_dcb;
    COMMTIMEOUTS m_timeouts{};
    // Characters that arrive between the open and the caller's first
    // SetCommMask are announced, not left in the queue until more arrive.
    DWORD m_mask = EV_RXCHAR;
    DWORD m_history = 0;  // masked events that happened while no wait was pending
    DWORD m_errors = 0;   // CE_ bits until ClearCommError
    InputQueue m_input;
    ArrivalMarks m_arrivals;  // when the queued bytes were read from the line, while asked
    std::uint64_t m_lost = 0;  // received bytes the driver counted as dropped since the open
    FlowControl m_flow{m_dcb, m_input, *m_line};

    PendingRequests m_requests{*this};

    // What a read of the line takes in, by the driver or the lent-to thread.
    std::vector<BYTE> m_received;

    bool m_lenderRegistered = false;              // a thread is lent the line
    kernel::Parker* m_lentParker = nullptr;       // the lent-to thread's, once the line is in its set
    kernel::Parker* m_lendingParker = nullptr;    // the lent-to thread's, while its wait watches the line
    std::condition_variable m_lendEnded;          // the close waits here for that wait to let go

    bool m_drainAtClose = false;  // under m_lock
    LineBacklog m_backlog;        // under m_lock
    bool m_closeStarted = false;  // by OnHandleClosed, before the close's thread exists
};

}  // namespace comm
