#include "platform/kernel/background_close.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>

namespace kernel {
namespace {

using Clock = std::chrono::steady_clock;

struct Close {
    std::string key;
    std::string name;
    Clock::time_point due;
    std::function<void()> run;
    bool done = false;
    std::thread thread;
};

struct Registry {
    std::mutex lock;
    std::condition_variable changed;
    std::list<Close> closes;  // a close's thread refers to its entry, which a list never moves
};

Registry& Closes() {
    static auto* registry = new Registry;  // outlives static destruction: a close may still run at exit
    return *registry;
}

// Under the lock: joins the threads of the closes that are done. Each has
// already left the lock for the last time, so the join returns at once.
void JoinDone(Registry& registry) {
    registry.closes.remove_if([](Close& close) {
        if (close.done) close.thread.join();
        return close.done;
    });
}

// Joins, as the process ends, the closes that ended after the last wait.
struct JoinAtExit {
    ~JoinAtExit() {
        Registry& registry = Closes();
        std::lock_guard lock(registry.lock);
        JoinDone(registry);
    }
} joinAtExit;

void Run(Registry& registry, Close& close) {
    close.run();
    close.run = nullptr;  // what it holds (the device) is released here, not under the lock
    std::lock_guard lock(registry.lock);
    close.done = true;
    registry.changed.notify_all();
}

}  // namespace

void StartBackgroundClose(std::string key, std::string name, std::chrono::milliseconds allowance,
                          std::function<void()> close) {
    Registry& registry = Closes();
    std::unique_lock lock(registry.lock);
    JoinDone(registry);
    Close& entry = registry.closes.emplace_back();
    entry.key = std::move(key);
    entry.name = std::move(name);
    entry.due = Clock::now() + allowance;
    entry.run = std::move(close);
    try {
        entry.thread = std::thread(Run, std::ref(registry), std::ref(entry));
    } catch (const std::system_error&) {
        std::function<void()> run = std::move(entry.run);
        registry.closes.pop_back();
        lock.unlock();
        run();
    }
}

bool WaitForBackgroundClose(const std::string& key, std::chrono::milliseconds patience) {
    if (key.empty()) return true;  // no device: none of its closes can run
    Registry& registry = Closes();
    std::unique_lock lock(registry.lock);
    const bool ended = registry.changed.wait_for(lock, patience, [&] {
        return std::none_of(registry.closes.begin(), registry.closes.end(),
                            [&](const Close& close) { return !close.done && close.key == key; });
    });
    JoinDone(registry);
    return ended;
}

std::vector<std::string> WaitForBackgroundCloses() {
    Registry& registry = Closes();
    std::unique_lock lock(registry.lock);
    // Looked for afresh after each wake-up: meanwhile an open may have joined and removed closes.
    for (;;) {
        const auto now = Clock::now();
        auto waited = std::find_if(registry.closes.begin(), registry.closes.end(),
                                   [&](const Close& close) { return !close.done && close.due > now; });
        if (waited == registry.closes.end()) break;
        const Clock::time_point due = waited->due;
        registry.changed.wait_until(lock, due);
    }
    JoinDone(registry);
    std::vector<std::string> running;
    for (const Close& close : registry.closes) running.push_back(close.name);
    return running;
}

}  // namespace kernel
