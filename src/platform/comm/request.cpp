#include "platform/comm/request.h"

#include <new>

namespace comm {

void RequestList::PushBack(Request* request) {
    request->next = nullptr;
    if (m_last) m_last->next = request;
    else m_first = request;
    m_last = request;
}

Request* RequestList::PopFront() {
    Request* first = m_first;
    if (first) {
        m_first = first->next;
        if (!m_first) m_last = nullptr;
    }
    return first;
}

bool RequestList::Remove(Request* request) {
    Request* previous = nullptr;
    for (Request* r = m_first; r; previous = r, r = r->next) {
        if (r != request) continue;
        (previous ? previous->next : m_first) = r->next;
        if (m_last == r) m_last = previous;
        return true;
    }
    return false;
}

Request* RequestPool::Take() {
    if (!m_free) {
        try {
            m_all.push_back(std::make_unique<Request>());
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        m_free = m_all.back().get();
        m_free->next = nullptr;
    }
    Request* request = m_free;
    m_free = request->next;
    request->next = nullptr;
    return request;
}

void RequestPool::Give(Request* request) {
    request->next = m_free;
    m_free = request;
}

}  // namespace comm
