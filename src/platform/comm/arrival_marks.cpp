#include "platform/comm/arrival_marks.h"

#include <algorithm>

namespace comm {

void ArrivalMarks::Start(size_t queued, Clock::time_point now) {
    if (!Keeping()) m_ring.resize(kCapacity);
    Clear();
    Note(queued, now);
}

void ArrivalMarks::Stop() {
    std::vector<Mark>().swap(m_ring);
    Clear();
}

void ArrivalMarks::Clear() {
    m_first = m_count = 0;
    m_noted = m_taken = 0;
}

void ArrivalMarks::Note(size_t count, Clock::time_point time) {
    if (!Keeping() || count == 0) return;
    if (m_count < m_ring.size()) {
        m_ring[(m_first + m_count) % m_ring.size()] = {m_noted, time};
        ++m_count;
    }
    m_noted += count;
}

size_t ArrivalMarks::Within(size_t want, size_t maxPieces) const {
    // The first mark may start before m_taken: its piece was partly taken.
    if (maxPieces == 0) return 0;
    if (m_count <= maxPieces) return want;
    const std::uint64_t end = At(maxPieces).position;
    return static_cast<size_t>(std::min<std::uint64_t>(want, end - m_taken));
}

}  // namespace comm
