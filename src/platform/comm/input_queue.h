// The device's input queue: a ring of bytes received and not yet read.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/win32.h"

namespace comm {

class InputQueue {
public:
    explicit InputQueue(size_t capacity) : m_ring(capacity) {}

    size_t Size() const { return m_size; }
    size_t Free() const { return m_ring.size() - m_size; }
    size_t Capacity() const { return m_ring.size(); }

    // Keeps what is queued; the capacity never drops below it.
    void Resize(size_t capacity);
    // At most Free() bytes.
    void Push(const BYTE* data, size_t count);
    size_t Pop(BYTE* out, size_t max);
    void Clear() { m_head = m_size = 0; }

private:
    std::vector<BYTE> m_ring;
    size_t m_head = 0;
    size_t m_size = 0;
};

}  // namespace comm
