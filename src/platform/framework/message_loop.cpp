#include "platform/framework/message_loop.h"

#include "platform/framework/backend.h"
#include "platform/framework/message_queue.h"
#include "platform/framework/timer_table.h"
#include "platform/framework/user_input.h"
#include "platform/framework/window_registry.h"

namespace afx {
namespace {

thread_local CurrentMessage t_current{WM_NULL, 0, 0};

}  // namespace

const CurrentMessage& MessageBeingHandled() { return t_current; }

LRESULT DispatchToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowNode* node = FindWindowNode(window);
    if (!node || !node->object) return 0;
    CurrentMessage saved = t_current;
    t_current = {message, wParam, lParam};
    LRESULT result = node->object->WindowProc(message, wParam, lParam);
    t_current = saved;
    return result;
}

bool DispatchOne() {
    if (std::optional<QueuedMessage> m = TakeQueuedMessage()) {
        DispatchToWindow(m->window, m->message, m->wParam, m->lParam);
        return true;
    }
    if (HandleKeptInput()) return true;
    Backend& backend = CurrentBackend();
    if (backend.DispatchPaint()) return true;
    if (std::optional<DueTimer> t = TakeDueTimer(backend.Now())) {
        if (t->proc)
            t->proc(t->window, WM_TIMER, t->id, static_cast<DWORD>(backend.Now()));
        else
            DispatchToWindow(t->window, WM_TIMER, t->id, 0);
        return true;
    }
    return false;
}

int DispatchAllPending() {
    int handled = 0;
    while (DispatchOne()) ++handled;
    return handled;
}

void RunModalLoop(const std::function<bool()>& finished, std::optional<std::uint64_t> until) {
    Backend& backend = CurrentBackend();
    auto timeUp = [&] { return until && backend.Now() >= *until; };
    while (!finished() && !timeUp()) {
        if (DispatchOne()) continue;
        if (finished()) return;
        std::optional<std::uint64_t> deadline = NextTimerDue();
        if (until && (!deadline || *until < *deadline)) deadline = until;
        backend.WaitForWork(deadline);
    }
}

}  // namespace afx
