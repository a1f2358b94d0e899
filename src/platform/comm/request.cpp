#include "platform/comm/request.h"

#include <new>

namespace comm {

Request* RequestPool::Take() {
    if (m_free.Empty()) {
        try {
            m_all.push_back(std::make_unique<Request>());
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return m_all.back().get();
    }
    return m_free.PopFront();
}

void RequestPool::Give(Request* request) { m_free.PushFront(*request); }

}  // namespace comm
