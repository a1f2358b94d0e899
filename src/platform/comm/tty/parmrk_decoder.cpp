#include "platform/comm/tty/parmrk_decoder.h"

namespace comm {
namespace {

constexpr BYTE kEscape = 0xFF;

bool Claim(unsigned& count) {
    if (count == 0) return false;
    --count;
    return true;
}

}  // namespace

void ParmrkDecoder::AddCounts(const LineCounts& counts) {
    m_unclaimed.breaks += counts.breaks;
    m_unclaimed.frames += counts.frames;
    m_unclaimed.parities += counts.parities;
}

ParmrkDecoder::Error ParmrkDecoder::ClassifyMark(BYTE byte) {
    if (byte == 0 && Claim(m_unclaimed.breaks)) return Error::Break;
    if (Claim(m_unclaimed.parities)) return Error::Parity;
    if (Claim(m_unclaimed.frames)) return Error::Frame;
    if (byte == 0) return Error::Break;
    return m_parityChecked ? Error::Parity : Error::Frame;
}

DecodedInput ParmrkDecoder::Decode(const BYTE* in, size_t count, BYTE* out) {
    DecodedInput result;
    for (size_t i = 0; i < count; ++i) {
        BYTE byte = in[i];
        switch (m_state) {
            case State::Data:
                if (byte == kEscape) m_state = State::Escape;
                else out[result.length++] = byte;
                break;
            case State::Escape:
                // \377 \377 is the data byte 0xFF and \377 \0 opens a mark; the line
                // discipline sends nothing else after an escape.
                m_state = byte == 0 ? State::Mark : State::Data;
                if (byte != 0) out[result.length++] = byte;
                break;
            case State::Mark:
                m_state = State::Data;
                switch (ClassifyMark(byte)) {
                    case Error::Break:
                        result.errors |= CE_BREAK;
                        result.events |= EV_BREAK;
                        break;
                    case Error::Frame:
                        result.errors |= CE_FRAME;
                        result.events |= EV_ERR;
                        out[result.length++] = byte;
                        break;
                    case Error::Parity:
                        result.errors |= CE_RXPARITY;
                        result.events |= EV_ERR;
                        out[result.length++] = byte;
                        break;
                }
                break;
        }
    }
    return result;
}

}  // namespace comm
