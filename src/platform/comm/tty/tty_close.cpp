#include "platform/comm/tty/tty_close.h"

#include <termios.h>
#include <unistd.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/kernel/interrupt.h"

namespace comm {
namespace {

// Long enough for a working line to send a few bytes it still holds; short
// enough that Stop is immediate to the user.
constexpr std::chrono::milliseconds kCloseGrace{40};

// Runs call on a thread of its own and interrupts it once patience has passed,
// then again after each grace until it returns. False, having run nothing,
// when there is no thread to be had.
bool CallWithin(const std::function<void()>& call, std::chrono::steady_clock::duration patience) {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::thread caller;
    try {
        caller = std::thread([&] {
            kernel::AllowInterrupt();
            call();
            std::lock_guard guard(lock);
            done = true;
            ended.notify_one();
        });
    } catch (const std::system_error&) {
        return false;
    }
    std::unique_lock wait(lock);
    if (!ended.wait_for(wait, patience, [&] { return done; })) {
        // Sent again after each grace: a signal that comes before the call waits breaks nothing.
        do kernel::Interrupt(caller.native_handle());
        while (!ended.wait_for(wait, kCloseGrace, [&] { return done; }));
    }
    wait.unlock();
    caller.join();
    return true;
}

}  // namespace

void CloseWithoutWaiting(int fd) {
    // No thread to be had: wait as an ordinary close does.
    if (!CallWithin([fd] { close(fd); }, kCloseGrace)) close(fd);
}

void DrainWithin(int fd, std::chrono::steady_clock::duration limit) {
    CallWithin([fd] { tcdrain(fd); }, limit);  // without a thread, the line is not waited for
}

}  // namespace comm
