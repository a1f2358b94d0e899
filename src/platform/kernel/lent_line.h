// A line lent to a thread's waits. A device whose events a thread waits for
// lends that thread its line: while the thread sleeps in a wait, input on the
// line wakes the thread itself, which reads it, rather than the device's
// driver thread, which would then have to wake the waiter.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel_object.h"
#include "platform/kernel/parker.h"

namespace kernel {

class LineLender {
public:
    // Called by the borrowing thread, with no lock held. True when its wait
    // is to watch the line, which the lender has registered in waiter's set.
    virtual bool BeginLend(Parker& waiter) = 0;
    // The wait that watched has ended; lineEvents is what epoll said of the
    // line (0: nothing).
    virtual void EndLend(std::uint32_t lineEvents) = 0;
    // The thread lends no more: it is ending, or another device lent it its line.
    virtual void Unlend() = 0;

protected:
    ~LineLender() = default;
};

// From now on the calling thread's waits watch lender's line; owner (the
// lender itself) is kept alive meanwhile.
void LendToThisThread(const Ref<Object>& owner, LineLender& lender);

// The calling thread's lender, or null.
LineLender* LenderOfThisThread();

}  // namespace kernel
