// A ReadFile, WriteFile or WaitCommEvent in flight, and the lists and the pool
// that hold them. Records are reused, so a busy port allocates nothing per call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/comm/timeout_rules.h"
#include "platform/kernel/event.h"
#include "platform/kernel/intrusive_list.h"
#include "platform/kernel/pending_io.h"

namespace comm {

struct Request : kernel::PendingIo, kernel::ListNode<Request> {
    enum class Kind { Read, Write, Wait };

    Kind kind = Kind::Read;
    std::uint64_t ticket = 0;
    const kernel::ThreadIo* issuer = nullptr;  // CancelIo cancels its own thread's
    OVERLAPPED* overlapped = nullptr;
    kernel::Ref<kernel::Event> event;
    BYTE* data = nullptr;  // the caller's buffer
    DWORD length = 0;
    DWORD done = 0;
    DWORD* eventBits = nullptr;  // a wait's result goes here
    DWORD firedEvents = 0;
    // Where an operation completes once the thread that started it has ended.
    OVERLAPPED spareRecord{};
    DWORD spareBits = 0;

    // Time limits, set when the transfer reaches the head of its list.
    TransferRule rule;
    std::optional<Clock::time_point> deadline;
    Clock::time_point lastByte;
};

// Pending reads or writes, first in, first out; an aborted one leaves from anywhere.
using RequestList = kernel::IntrusiveList<Request>;

class RequestPool {
public:
    Request* Take();  // null when out of memory
    void Give(Request* request);

private:
    std::vector<std::unique_ptr<Request>> m_all;
    RequestList m_free;  // records not in use
};

}  // namespace comm
