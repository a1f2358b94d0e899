// The posted-message queue of the user-interface thread. Any thread may post;
// the queue knows which windows are alive, so a post to a destroyed window
// fails, and destroying a window drops what was queued for it.
#pragma once

#include <optional>

#include "platform/win32.h"

namespace afx {

struct QueuedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

void MarkWindowLive(HWND window);
void MarkWindowDead(HWND window);  // also drops its queued messages
bool IsWindowLive(HWND window);

// Queues behind what is already queued and wakes the user-interface thread;
// false when the window is not alive.
bool PostToQueue(const QueuedMessage& message);
std::optional<QueuedMessage> TakeQueuedMessage();
bool QueueEmpty();

}  // namespace afx
