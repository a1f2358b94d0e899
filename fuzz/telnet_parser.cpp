// The Telnet parser on what a port server sends. The first byte says how the
// stream is cut into reads; the rest is the stream. Checked: the cut changes
// nothing, every subnegotiation kept is within its bound, every reply is one
// answer (IAC, a verb, an option) and there are no more of them than
// requests in the stream, and data escaped for sending parses back unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/comm/net/telnet.h"

namespace {

using comm::net::Bytes;
using comm::net::TelnetInput;
using comm::net::TelnetParser;

void Check(bool holds) {
    if (!holds) std::abort();
}

TelnetInput ParseInReads(const Bytes& stream, std::size_t readSize) {
    TelnetParser parser;
    TelnetInput input;
    for (std::size_t at = 0; at < stream.size(); at += readSize)
        parser.Feed(stream.data() + at, std::min(readSize, stream.size() - at), input);
    return input;
}

std::size_t Requests(const Bytes& stream) {
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < stream.size(); ++i)
        if (stream[i] == comm::net::kIac && stream[i + 1] >= comm::net::kWill && stream[i + 1] <= comm::net::kDont) ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t readSize = data[0] % 16u + 1;
    const Bytes stream(data + 1, data + size);

    const TelnetInput whole = ParseInReads(stream, stream.size() + 1);
    const TelnetInput pieces = ParseInReads(stream, readSize);
    Check(pieces.data == whole.data && pieces.comPort == whole.comPort && pieces.replies == whole.replies);

    Check(whole.data.size() <= stream.size());
    for (const Bytes& value : whole.comPort) Check(value.size() <= comm::net::kMaxSubnegotiation);
    Check(whole.replies.size() % 3 == 0 && whole.replies.size() / 3 <= Requests(stream));
    for (std::size_t i = 0; i < whole.replies.size(); i += 3)
        Check(whole.replies[i] == comm::net::kIac && whole.replies[i + 1] >= comm::net::kWill &&
              whole.replies[i + 1] <= comm::net::kDont);

    Bytes escaped;
    comm::net::AppendEscaped(escaped, stream.data(), stream.size());
    const TelnetInput back = ParseInReads(escaped, readSize);
    Check(back.data == stream && back.comPort.empty() && back.replies.empty());
    return 0;
}
