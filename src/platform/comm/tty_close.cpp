#include "platform/comm/tty_close.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/kernel/interrupt.h"

namespace comm {
namespace {

// Long enough for a working line to send a few bytes it still holds; short
// enough that Stop is immediate to the user.
constexpr std::chrono::milliseconds kCloseGrace{40};

}  // namespace

void CloseWithoutWaiting(int fd) {
    std::mutex lock;
    std::condition_variable closed;
    bool done = false;
    std::thread closer;
    try {
        closer = std::thread([&] {
            kernel::AllowInterrupt();
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
    // Sent again after each grace until the close returns.
    while (!closed.wait_for(wait, kCloseGrace, [&] { return done; })) kernel::Interrupt(closer.native_handle());
    wait.unlock();
    closer.join();
}

}  // namespace comm
