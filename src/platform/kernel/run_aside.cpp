#include "platform/kernel/run_aside.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace kernel {
namespace {

std::atomic<const Meanwhile*> g_meanwhile{nullptr};

}  // namespace

void SetMeanwhile(const Meanwhile* meanwhile) { g_meanwhile.store(meanwhile, std::memory_order_release); }

void RunAside(const std::function<void(int stopFd)>& work) {
    std::mutex lock;
    std::condition_variable ended;
    std::atomic<bool> finished{false};
    const int stopFd = eventfd(0, EFD_CLOEXEC);
    auto stop = [stopFd] {
        if (stopFd >= 0) eventfd_write(stopFd, 1);
    };
    const Meanwhile* meanwhile = g_meanwhile.load(std::memory_order_acquire);
    std::thread worker;
    try {
        worker = std::thread([&] {
            work(stopFd);
            {
                std::lock_guard held(lock);
                finished = true;
            }
            ended.notify_all();
            if (meanwhile) meanwhile->wake();
        });
    } catch (const std::system_error&) {
        work(stopFd);  // no thread to be had: the wait is the caller's
    }
    if (worker.joinable()) {
        if (!meanwhile || !meanwhile->until([&] { return finished.load(); }, stop)) {
            std::unique_lock held(lock);
            ended.wait(held, [&] { return finished.load(); });
        }
        worker.join();
    }
    if (stopFd >= 0) close(stopFd);
}

}  // namespace kernel
