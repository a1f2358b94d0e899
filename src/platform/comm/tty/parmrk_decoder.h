// Decodes the line discipline's in-band error marks (PARMRK without IGNPAR):
//   \377 \377   a data byte 0xFF
//   \377 \0 c   c received with a parity or framing error
//   \377 \0 \0  a break, or a framing error on 0x00 (the same bytes)
// A mark may be split across two reads; the decoder keeps its place.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace comm {

// What the driver counted (TIOCGICOUNT) since the last look.
struct LineCounts {
    unsigned breaks = 0;
    unsigned frames = 0;
    unsigned parities = 0;
};

struct DecodedInput {
    size_t length = 0;  // data bytes written to the output
    DWORD errors = 0;   // CE_FRAME, CE_RXPARITY, CE_BREAK
    DWORD events = 0;   // EV_ERR, EV_BREAK
};

class ParmrkDecoder {
public:
    // Counts from the driver tell which kind of error a mark is; without them
    // an ambiguous mark is a break, and an error on a character is a parity
    // error when parity is checked, else a framing error.
    void AddCounts(const LineCounts& counts);
    void SetParityChecked(bool checked) { m_parityChecked = checked; }
    void Reset() { m_state = State::Data; m_unclaimed = {}; }

    // `out` has room for `count` bytes.
    DecodedInput Decode(const BYTE* in, size_t count, BYTE* out);

private:
    enum class State { Data, Escape, Mark };
    enum class Error { Break, Frame, Parity };
    Error ClassifyMark(BYTE byte);

    State m_state = State::Data;
    LineCounts m_unclaimed;
    bool m_parityChecked = false;
};

}  // namespace comm
