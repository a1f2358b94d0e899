// Dispatch on the user-interface thread: sending a message to a window,
// taking the next posted message or due timer, and the modal loop that every
// modal piece (dialog, message box, file dialog) runs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/win32.h"

namespace afx {

// Calls the window's procedure and returns its result; 0 for a dead window.
// While it runs, CWnd::Default refers to this message.
LRESULT DispatchToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
// The message being handled on this thread (WM_NULL outside any handler).
const CurrentMessage& MessageBeingHandled();

// Handles one posted message, else one paint, else one due timer, as Windows
// orders them; false when there was nothing to do.
bool DispatchOne();
int DispatchAllPending();

// Dispatches until `finished` holds or, when given, the back-end's clock reaches
// `until`. Sleeps in the back-end between messages.
void RunModalLoop(const std::function<bool()>& finished, std::optional<std::uint64_t> until = std::nullopt);

}  // namespace afx
