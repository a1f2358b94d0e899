// When the bytes in the device's input queue arrived: a ring of marks, each
// the queue position where a piece read from the line starts and the time it
// was read. Kept only while the program asks for arrival times, so a device
// that nobody asks costs nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/comm/timeout_rules.h"

namespace comm {

class ArrivalMarks {
public:
    static constexpr size_t kCapacity = 4096;

    bool Keeping() const { return !m_ring.empty(); }
    // Starts keeping marks; the queued bytes (queued) count as arrived now.
    void Start(size_t queued, Clock::time_point now);
    void Stop();
    // The queue is emptied without being read.
    void Clear();

    // count bytes joined the queue, read from the line at time. With the ring
    // full they join the last piece: its time is the earliest of theirs.
    void Note(size_t count, Clock::time_point time);
    // How many of the next want bytes lie in the first maxPieces pieces.
    size_t Within(size_t want, size_t maxPieces) const;
    // The next count bytes leave the queue: each(offset from the first of
    // them, time) for every piece they start, in order; returns how many.
    template <class Each>
    size_t Take(size_t count, Each each);
    void Drop(size_t count) {
        Take(count, [](size_t, Clock::time_point) {});
    }

private:
    struct Mark {
        std::uint64_t position;  // of the piece's first byte, counted since Start
        Clock::time_point time;
    };
    std::vector<Mark> m_ring;
    size_t m_first = 0;  // the oldest mark
    size_t m_count = 0;
    std::uint64_t m_noted = 0;  // bytes noted since Start
    std::uint64_t m_taken = 0;  // of them, bytes taken

    const Mark& At(size_t i) const { return m_ring[(m_first + i) % m_ring.size()]; }
};

template <class Each>
size_t ArrivalMarks::Take(size_t count, Each each) {
    if (!Keeping() || count == 0) return 0;
    const std::uint64_t end = m_taken + count;
    size_t pieces = 0;
    while (m_count > 0 && At(0).position < end) {
        const Mark& mark = At(0);
        each(static_cast<size_t>(mark.position > m_taken ? mark.position - m_taken : 0), mark.time);
        ++pieces;
        // A piece taken only in part stays, for the rest of its bytes.
        const bool whole = m_count == 1 ? m_noted <= end : At(1).position <= end;
        if (!whole) break;
        m_first = (m_first + 1) % m_ring.size();
        --m_count;
    }
    m_taken = end;
    return pieces;
}

}  // namespace comm
