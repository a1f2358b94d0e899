#include "platform/kernel/run_aside.h"

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

void RunAside(const std::function<void()>& work) {
    std::mutex lock;
    std::condition_variable ended;
    std::atomic<bool> finished{false};
    const Meanwhile* meanwhile = g_meanwhile.load(std::memory_order_acquire);
    std::thread worker;
    try {
        worker = std::thread([&] {
            work();
            {
                std::lock_guard held(lock);
                finished = true;
            }
            ended.notify_all();
            if (meanwhile) meanwhile->wake();
        });
    } catch (const std::system_error&) {
        work();  // no thread to be had: the wait is the caller's
        return;
    }
    if (!meanwhile || !meanwhile->until([&] { return finished.load(); })) {
        std::unique_lock held(lock);
        ended.wait(held, [&] { return finished.load(); });
    }
    worker.join();
}

}  // namespace kernel
