// The decoder of the line discipline's in-band error marks. The first bytes
// set the decoder up (driver counts, parity checking, how the stream is cut
// into reads); the rest is the stream. Checked: the output never outgrows its
// buffer (sized exactly, so the address sanitizer sees any overrun), the way
// the stream is cut into reads changes nothing, events match the errors, and
// without driver counts the result is that of a plain reading of the marks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/comm/tty/parmrk_decoder.h"

namespace {

using comm::DecodedInput;
using comm::LineCounts;
using comm::ParmrkDecoder;

constexpr std::size_t kSetupSize = 5;

void Check(bool holds) {
    if (!holds) std::abort();
}

struct Result {
    std::vector<BYTE> data;
    DWORD errors = 0;
    DWORD events = 0;
};

// Decodes the stream in reads of the given lengths (cycled), each into a buffer of exactly its size.
Result DecodeInReads(ParmrkDecoder decoder, const std::vector<BYTE>& stream, const std::vector<std::size_t>& reads) {
    Result result;
    for (std::size_t at = 0, i = 0; at < stream.size(); ++i) {
        const std::size_t count = std::min(reads[i % reads.size()], stream.size() - at);
        std::vector<BYTE> in(stream.begin() + at, stream.begin() + at + count);
        std::vector<BYTE> out(count);
        const DecodedInput decoded = decoder.Decode(in.data(), count, out.data());
        Check(decoded.length <= count);
        result.data.insert(result.data.end(), out.begin(), out.begin() + decoded.length);
        result.errors |= decoded.errors;
        result.events |= decoded.events;
        at += count;
    }
    return result;
}

// \377 \377 is 0xFF, \377 \0 c an error on c (a break when c is 0), \377 and
// any other byte that byte; an unfinished mark at the end gives nothing yet.
Result PlainReading(const std::vector<BYTE>& s, bool parityChecked) {
    Result result;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] != 0xFF) {
            result.data.push_back(s[i++]);
        } else if (i + 1 >= s.size()) {
            break;
        } else if (s[i + 1] != 0) {
            result.data.push_back(s[i + 1]);
            i += 2;
        } else if (i + 2 >= s.size()) {
            break;
        } else if (s[i + 2] == 0) {
            result.errors |= CE_BREAK;
            result.events |= EV_BREAK;
            i += 3;
        } else {
            result.data.push_back(s[i + 2]);
            result.errors |= parityChecked ? CE_RXPARITY : CE_FRAME;
            result.events |= EV_ERR;
            i += 3;
        }
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kSetupSize) return 0;
    const LineCounts counts{data[0] % 4u, data[1] % 4u, data[2] % 4u};
    const bool parityChecked = data[3] & 1;
    const std::vector<std::size_t> reads{data[4] % 7u + 1, data[4] / 7u % 5 + 1, 1};
    const std::vector<BYTE> stream(data + kSetupSize, data + size);

    ParmrkDecoder decoder;
    decoder.SetParityChecked(parityChecked);
    decoder.AddCounts(counts);
    const Result whole = DecodeInReads(decoder, stream, {stream.size() + 1});
    const Result pieces = DecodeInReads(decoder, stream, reads);
    Check(pieces.data == whole.data && pieces.errors == whole.errors && pieces.events == whole.events);

    Check((whole.errors & ~DWORD{CE_BREAK | CE_FRAME | CE_RXPARITY}) == 0);
    Check(((whole.events & EV_BREAK) != 0) == ((whole.errors & CE_BREAK) != 0));
    Check(((whole.events & EV_ERR) != 0) == ((whole.errors & (CE_FRAME | CE_RXPARITY)) != 0));
    Check((whole.events & ~DWORD{EV_BREAK | EV_ERR}) == 0);

    if (counts.breaks == 0 && counts.frames == 0 && counts.parities == 0) {
        const Result plain = PlainReading(stream, parityChecked);
        Check(whole.data == plain.data && whole.errors == plain.errors && whole.events == plain.events);
    }
    return 0;
}
