// The framework's record of every live window: dialogs, their controls and
// plain message windows. The records are the one source of truth for control
// state; a back-end only mirrors them. Used on the user-interface thread only;
// the live set that other threads consult belongs to the message queue.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/framework/afxwin.h"

namespace afx {

struct MenuItem {
    UINT flags;
    UINT_PTR id;
    std::string text;  // empty for a separator
};

struct MenuRecord {
    CMenu object;
    std::vector<MenuItem> items;
};

enum class WindowKind { Message, Dialog, Control };

struct WindowNode {
    HWND hwnd = nullptr;
    WindowKind kind = WindowKind::Message;
    CWnd* object = nullptr;             // receives the window's messages
    std::unique_ptr<CWnd> ownedObject;  // controls: the framework owns their window objects
    WindowNode* parent = nullptr;
    std::vector<WindowNode*> children;  // controls, in template (and tab) order

    // Controls.
    int id = 0;
    ControlKind controlKind = ControlKind::Static;
    const DialogControl* controlTemplate = nullptr;
    std::string text;  // caption of a dialog, text of a control
    std::string toolTip;
    bool enabled = true;
    bool checked = false;
    std::vector<std::string> list;

    // Dialogs.
    const DialogTemplate* dialogTemplate = nullptr;
    bool initialised = false;  // OnInitDialog has returned
    bool modalEnded = false;
    INT_PTR modalResult = 0;
    bool iconic = false;
    int clientWidth = 0;
    int clientHeight = 0;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    HMENU systemMenu = nullptr;

    void* backendData = nullptr;  // the back-end's mirror of this window
};

// Creates a window record; the handle is new and never reused in this process.
WindowNode& CreateWindowNode(WindowKind kind, CWnd* object, WindowNode* parent);
// Removes the window, its controls, timers, queued messages and system menu.
void DestroyWindowNode(HWND window);
// The record of a live window, or null.
WindowNode* FindWindowNode(HWND window);
// The control of a dialog by identifier, or null.
WindowNode* FindControl(const WindowNode& dialog, int id);

MenuRecord* FindMenu(HMENU menu);
HMENU CreateSystemMenu(WindowNode& window);
void DiscardSystemMenu(WindowNode& window);  // the next GetSystemMenu starts afresh

}  // namespace afx
