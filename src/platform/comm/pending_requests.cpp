#include "platform/comm/pending_requests.h"

#include <algorithm>
#include <cstring>

namespace comm {
namespace {

std::optional<Clock::time_point> HeadDeadline(const RequestList& list) {
    const Request* head = list.Front();
    if (!head) return std::nullopt;
    std::optional<Clock::time_point> deadline = head->deadline;
    if (head->rule.interval && head->done > 0) {
        Clock::time_point gapEnds = head->lastByte + *head->rule.interval;
        if (!deadline || gapEnds < *deadline) deadline = gapEnds;
    }
    return deadline;
}

Request* IssuedBy(const RequestList& list, const kernel::ThreadIo* thread) {
    Request* found = nullptr;
    list.ForEach([&](Request* r) {
        if (!found && r->issuer == thread) found = r;
    });
    return found;
}

}  // namespace

Request* PendingRequests::Accept(Request* request, Request::Kind kind, OVERLAPPED* overlapped,
                                 kernel::Ref<kernel::Event> event) {
    *request = Request{};
    request->kind = kind;
    request->ticket = m_nextTicket++;
    request->issuer = &kernel::ThreadIo::Current();
    request->overlapped = overlapped;
    request->event = std::move(event);
    overlapped->Internal = ERROR_IO_PENDING;
    overlapped->InternalHigh = 0;
    // An event left signalled by an earlier operation must not end a wait for this one.
    if (request->event) request->event->Unsignal();
    kernel::ThreadIo::Current().Track(*request, m_device, request->ticket);
    return request;
}

void PendingRequests::QueueRead(Request* read, Clock::time_point now) {
    const bool first = m_reads.Empty();
    m_reads.PushBack(*read);
    if (first) StartHead(m_reads, now);
}

void PendingRequests::QueueWrite(Request* write, Clock::time_point now) {
    const bool first = m_writes.Empty();
    m_writes.PushBack(*write);
    if (first) StartHead(m_writes, now);
}

void PendingRequests::QueueWait(Request* wait, DWORD* bits) {
    m_wait = wait;
    m_wait->eventBits = bits;
}

void PendingRequests::Complete(Request* request, DWORD status) {
    OVERLAPPED* overlapped = request->overlapped;
    overlapped->InternalHigh = request->kind == Request::Kind::Wait ? 0 : request->done;
    overlapped->Internal = status;
    if (request->kind == Request::Kind::Wait) *request->eventBits = request->firedEvents;
    kernel::ThreadIo::Untrack(*request);
    kernel::Ref<kernel::Event> event = std::move(request->event);
    request->ticket = 0;
    m_pool.Give(request);
    m_completed.notify_all();
    if (event) event->Signal();
}

void PendingRequests::CompleteAtOnce(OVERLAPPED* overlapped, const kernel::Ref<kernel::Event>& event,
                                     DWORD transferred) {
    overlapped->Internal = ERROR_SUCCESS;
    overlapped->InternalHigh = transferred;
    if (event) event->Signal();
}

DWORD PendingRequests::OutputQueued() const {
    DWORD queued = 0;
    m_writes.ForEach([&queued](const Request* write) { queued += write->length - write->done; });
    return queued;
}

void PendingRequests::Abort(Request* request) {
    auto now = Clock::now();
    switch (request->kind) {
        case Request::Kind::Read:
        case Request::Kind::Write: {
            RequestList& list = request->kind == Request::Kind::Read ? m_reads : m_writes;
            bool wasHead = list.Front() == request;
            list.Remove(*request);
            Complete(request, ERROR_OPERATION_ABORTED);
            if (wasHead) StartHead(list, now);
            break;
        }
        case Request::Kind::Wait:
            m_wait = nullptr;
            request->firedEvents = 0;
            Complete(request, ERROR_OPERATION_ABORTED);
            break;
    }
}

void PendingRequests::AbortReads() {
    while (Request* read = m_reads.Front()) Abort(read);
}

void PendingRequests::AbortWrites() {
    while (Request* write = m_writes.Front()) Abort(write);
}

void PendingRequests::AbortAll() {
    AbortReads();
    AbortWrites();
    if (m_wait) Abort(m_wait);
}

void PendingRequests::AbortIssuedBy(const kernel::ThreadIo* thread) {
    while (Request* read = IssuedBy(m_reads, thread)) Abort(read);
    while (Request* write = IssuedBy(m_writes, thread)) Abort(write);
    if (m_wait && m_wait->issuer == thread) Abort(m_wait);
}

void PendingRequests::EndAtHangUp() {
    while (Request* read = m_reads.PopFront()) Complete(read, read->done > 0 ? ERROR_SUCCESS : ERROR_OPERATION_ABORTED);
    AbortWrites();
    if (m_wait) Abort(m_wait);
}

void PendingRequests::StartHead(RequestList& list, Clock::time_point now) {
    while (Request* head = list.Front()) {
        if (!head->rule.atOnce) {
            head->deadline.reset();
            if (head->rule.total) head->deadline = now + *head->rule.total;
            head->lastByte = now;
            return;
        }
        // A read that returns at once with what is queued, behind another read:
        // the queue is empty while reads are pending.
        list.PopFront();
        Complete(head, ERROR_SUCCESS);
    }
}

size_t PendingRequests::Deliver(const BYTE* data, size_t count, Clock::time_point now) {
    size_t delivered = 0;
    while (delivered < count && !m_reads.Empty()) {
        Request* read = m_reads.Front();
        size_t take = std::min<size_t>(count - delivered, read->length - read->done);
        std::memcpy(read->data + read->done, data + delivered, take);
        read->done += static_cast<DWORD>(take);
        read->lastByte = now;
        delivered += take;
        if (read->done == read->length || read->rule.onFirstByte) {
            m_reads.PopFront();
            Complete(read, ERROR_SUCCESS);
            StartHead(m_reads, now);
        }
    }
    return delivered;
}

bool PendingRequests::EndWait(DWORD events) {
    if (!m_wait) return false;
    Request* wait = m_wait;
    m_wait = nullptr;
    wait->firedEvents = events;
    Complete(wait, ERROR_SUCCESS);
    return true;
}

void PendingRequests::WriteDone(Clock::time_point now) {
    Complete(m_writes.PopFront(), ERROR_SUCCESS);
    StartHead(m_writes, now);
}

std::optional<Clock::time_point> PendingRequests::NearestDeadline() const {
    auto read = HeadDeadline(m_reads);
    auto write = HeadDeadline(m_writes);
    if (read && write) return std::min(*read, *write);
    return read ? read : write;
}

void PendingRequests::ExpireDeadlines(Clock::time_point now) {
    for (RequestList* list : {&m_reads, &m_writes}) {
        for (auto deadline = HeadDeadline(*list); deadline && *deadline <= now; deadline = HeadDeadline(*list)) {
            Complete(list->PopFront(), ERROR_SUCCESS);
            StartHead(*list, now);
        }
    }
}

void PendingRequests::AwaitEnd(std::unique_lock<std::mutex>& lock, const OVERLAPPED* overlapped) {
    m_completed.wait(lock, [overlapped] { return overlapped->Internal != ERROR_IO_PENDING; });
}

}  // namespace comm
