#include "platform/comm/tty_close.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace comm {
namespace {

// Long enough for a working line to send a few bytes it still holds; short
// enough that Stop is immediate to the user.
constexpr std::chrono::milliseconds kCloseGrace{40};

// Only breaks the kernel's wait: no SA_RESTART, and close is never restarted.
void Interrupted(int) {}

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

void CloseWithoutWaiting(int fd) {
    const int signal = InterruptSignal();
    std::mutex lock;
    std::condition_variable closed;
    bool done = false;
    std::thread closer;
    try {
        closer = std::thread([&] {
            close(fd);
            std::lock_guard guard(lock);
            done = true;
            closed.notify_one();
        });
    } catch (const std::system_error&) {
        close(fd);  // no thread to be had: wait as an ordinary close does
        return;
    }
    std::unique_lock wait(lock);
    // A signal that came before the closer reached the kernel's wait broke
    // nothing: it is sent again after each grace until the close returns.
    while (!closed.wait_for(wait, kCloseGrace, [&] { return done; })) pthread_kill(closer.native_handle(), signal);
    wait.unlock();
    closer.join();
}

}  // namespace comm
