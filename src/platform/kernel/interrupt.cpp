#include "platform/kernel/interrupt.h"

#include <signal.h>

namespace kernel {
namespace {

void Interrupted(int) {}

// SIGRTMIN is the first real-time signal glibc leaves to programs; nothing
// else in this program uses it.
int InterruptSignal() {
    static const int signal = [] {
        struct sigaction action {};
        action.sa_handler = Interrupted;
        sigemptyset(&action.sa_mask);
        sigaction(SIGRTMIN, &action, nullptr);
        return SIGRTMIN;
    }();
    return signal;
}

}  // namespace

void AllowInterrupt() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, InterruptSignal());
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void Interrupt(pthread_t thread) { pthread_kill(thread, InterruptSignal()); }

}  // namespace kernel
