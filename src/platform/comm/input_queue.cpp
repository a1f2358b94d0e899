#include "platform/comm/input_queue.h"

#include <algorithm>
#include <cstring>

namespace comm {

void InputQueue::Resize(size_t capacity) {
    std::vector<BYTE> ring(std::max({capacity, m_size, size_t{1}}));
    size_t size = m_size;
    Pop(ring.data(), size);
    m_ring.swap(ring);
    m_head = 0;
    m_size = size;
}

void InputQueue::Push(const BYTE* data, size_t count) {
    size_t tail = (m_head + m_size) % m_ring.size();
    size_t first = std::min(count, m_ring.size() - tail);
    std::memcpy(m_ring.data() + tail, data, first);
    std::memcpy(m_ring.data(), data + first, count - first);
    m_size += count;
}

size_t InputQueue::Pop(BYTE* out, size_t max) {
    size_t count = std::min(max, m_size);
    size_t first = std::min(count, m_ring.size() - m_head);
    std::memcpy(out, m_ring.data() + m_head, first);
    std::memcpy(out + first, m_ring.data(), count - first);
    m_head = (m_head + count) % m_ring.size();
    m_size -= count;
    return count;
}

}  // namespace comm
