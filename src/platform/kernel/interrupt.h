// Breaking a thread out of a system call that waits on something that may
// never come (the last close of a stalled tty, a write to a stopped
// terminal): a signal whose handler does nothing, installed without
// SA_RESTART, makes the call return (EINTR, or done for close).
#pragma once

#include <pthread.h>

namespace kernel {

// A thread that may be interrupted calls this first: it may have inherited a
// mask that blocks the signal.
void AllowInterrupt();
// Interrupts what the thread waits in now; a signal that comes before the
// thread reaches its wait breaks nothing, so callers send it again until the
// thread is done.
void Interrupt(pthread_t thread);

}  // namespace kernel
