// A line lent to a thread's waits. A device whose events a thread waits for
// lends that thread its line: while the thread sleeps in a wait, input on the
// line wakes the thread itself, which reads it, rather than the device's
// driver thread, which would then have to wake the waiter.
#pragma once

#include "platform/kernel/kernel_object.h"
#include "platform/kernel/parker.h"

namespace kernel {

class LineLender {
public:
    // Called by the borrowing thread, with no lock held. The descriptor its
    // wait is to watch for input now, or -1 when it is not to watch it.
    virtual int BeginLend(Parker& waiter) = 0;
    // The wait that watched has ended; lineEvents is what poll() said of the
    // descriptor (0: nothing).
    virtual void EndLend(short lineEvents) = 0;
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
