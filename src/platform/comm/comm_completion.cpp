// Completing operations: arriving data, events, deadlines and aborts. All of
// it runs with the device lock held.
#include <algorithm>
#include <cstring>

#include "platform/comm/comm_device.h"

namespace comm {

Request* CommDevice::Accept(Request* request, Request::Kind kind, OVERLAPPED* overlapped,
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
    kernel::ThreadIo::Current().Track(*request, *this, request->ticket);
    return request;
}

void CommDevice::Complete(Request* request, DWORD status) {
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

void CommDevice::CompleteAtOnce(OVERLAPPED* overlapped, const kernel::Ref<kernel::Event>& event, DWORD transferred) {
    overlapped->Internal = ERROR_SUCCESS;
    overlapped->InternalHigh = transferred;
    if (event) event->Signal();
}

void CommDevice::Abort(Request* request) {
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

void CommDevice::StartHead(RequestList& list, Clock::time_point now) {
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

void CommDevice::Deliver(const BYTE* data, size_t count, Clock::time_point now) {
    while (count > 0 && !m_reads.Empty()) {
        Request* read = m_reads.Front();
        size_t take = std::min<size_t>(count, read->length - read->done);
        std::memcpy(read->data + read->done, data, take);
        read->done += static_cast<DWORD>(take);
        read->lastByte = now;
        data += take;
        count -= take;
        if (read->done == read->length || read->rule.onFirstByte) {
            m_reads.PopFront();
            Complete(read, ERROR_SUCCESS);
            StartHead(m_reads, now);
        }
    }
    m_input.Push(data, count);
    m_arrivals.Note(count, now);
}

void CommDevice::RaiseEvents(DWORD events) {
    events &= m_mask;
    if (!events) return;
    if (!m_wait) {
        m_history |= events;
        return;
    }
    Request* wait = m_wait;
    m_wait = nullptr;
    wait->firedEvents = events;
    Complete(wait, ERROR_SUCCESS);
}

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

}  // namespace

std::optional<Clock::time_point> CommDevice::NearestDeadline() const {
    auto read = HeadDeadline(m_reads);
    auto write = HeadDeadline(m_writes);
    if (read && write) return std::min(*read, *write);
    return read ? read : write;
}

void CommDevice::ExpireDeadlines(Clock::time_point now) {
    // Running out of COMMTIMEOUTS time is success with a short count.
    for (RequestList* list : {&m_reads, &m_writes}) {
        for (auto deadline = HeadDeadline(*list); deadline && *deadline <= now; deadline = HeadDeadline(*list)) {
            Complete(list->PopFront(), ERROR_SUCCESS);
            StartHead(*list, now);
        }
    }
}

}  // namespace comm
