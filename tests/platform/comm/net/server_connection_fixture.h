// Driving a network line from a test: waiting on its descriptor for what the
// server sends, sending whole buffers, a free local port, and the frames and
// subnegotiations the tests write.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/comm/net/server_connection.h"
#include "support/free_port.h"

namespace nettest {

using comm::net::Bytes;
using comm::net::ServerConnection;

// Takes what the server sends until the condition holds or the time runs out.
inline bool ReceiveUntil(ServerConnection& line, Bytes& data, const std::function<bool()>& condition, int timeoutMs = 5000) {
    const auto deadline = comm::net::Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (!line.HasInput()) {
            pollfd waiting{line.Descriptor(), static_cast<short>(POLLIN | (line.WantsWrite() ? POLLOUT : 0)), 0};
            if (poll(&waiting, 1, comm::net::MillisecondsUntil(deadline)) <= 0) return false;
        }
        if (!line.Receive(data)) return condition();
    }
    return true;
}

// Sends all of data, waiting on the socket while it takes nothing.
inline bool SendAll(ServerConnection& line, const Bytes& data, int timeoutMs = 5000) {
    const auto deadline = comm::net::Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (size_t done = 0; done < data.size();) {
        const size_t taken = line.Send(data.data() + done, data.size() - done);
        done += taken;
        if (taken > 0) continue;
        pollfd waiting{line.Descriptor(), POLLOUT, 0};
        if (poll(&waiting, 1, comm::net::MillisecondsUntil(deadline)) <= 0) return false;
    }
    return true;
}

using testsupport::FreePort;

inline Bytes AllByteValues() {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    return all;
}

// IAC SB COM-PORT-OPTION value IAC SE, as written (no 0xFF doubled).
inline Bytes Sub(std::initializer_list<std::uint8_t> value) {
    Bytes out{comm::net::kIac, comm::net::kSb, comm::net::kOptionComPort};
    out.insert(out.end(), value);
    out.insert(out.end(), {comm::net::kIac, comm::net::kSe});
    return out;
}

inline DCB Frame(DWORD baud, BYTE size, BYTE parity, BYTE stop) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = size;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return dcb;
}

}  // namespace nettest
