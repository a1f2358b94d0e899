#include "platform/framework/message_queue.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <unordered_set>

#include "platform/framework/backend.h"

namespace afx {
namespace {

// One lock for the live set and the queue, so that a post either lands before
// its window is destroyed (and is then dropped with it) or fails.
struct Queue {
    std::mutex lock;
    std::unordered_set<HWND> live;
    std::deque<QueuedMessage> messages;
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

}  // namespace

void MarkWindowLive(HWND window) {
    Queue& q = TheQueue();
    std::lock_guard guard(q.lock);
    q.live.insert(window);
}

void MarkWindowDead(HWND window) {
    Queue& q = TheQueue();
    std::lock_guard guard(q.lock);
    q.live.erase(window);
    std::erase_if(q.messages, [window](const QueuedMessage& m) { return m.window == window; });
}

bool IsWindowLive(HWND window) {
    Queue& q = TheQueue();
    std::lock_guard guard(q.lock);
    return q.live.contains(window);
}

bool PostToQueue(const QueuedMessage& message) {
    Queue& q = TheQueue();
    {
        std::lock_guard guard(q.lock);
        if (!q.live.contains(message.window)) return false;
        q.messages.push_back(message);
    }
    if (Backend* backend = BackendIfAny()) backend->Wake();
    return true;
}

std::optional<QueuedMessage> TakeQueuedMessage() {
    Queue& q = TheQueue();
    std::lock_guard guard(q.lock);
    if (q.messages.empty()) return std::nullopt;
    QueuedMessage m = q.messages.front();
    q.messages.pop_front();
    return m;
}

bool QueueEmpty() {
    Queue& q = TheQueue();
    std::lock_guard guard(q.lock);
    return q.messages.empty();
}

}  // namespace afx
