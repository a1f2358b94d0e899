#include "platform/framework/window_registry.h"

#include <algorithm>
#include <unordered_map>

#include "platform/framework/backend.h"
#include "platform/framework/message_queue.h"
#include "platform/framework/timer_table.h"

namespace afx {
namespace {

struct Registry {
    std::unordered_map<HWND, std::unique_ptr<WindowNode>> windows;
    std::unordered_map<HMENU, std::unique_ptr<MenuRecord>> menus;
    std::uintptr_t nextHandle = 0x10000;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// Handles are never reused, so a handle kept past its window's end stays dead.
std::uintptr_t NewHandleValue() {
    Registry& r = TheRegistry();
    r.nextHandle += 4;
    return r.nextHandle;
}

}  // namespace

WindowNode& CreateWindowNode(WindowKind kind, CWnd* object, WindowNode* parent) {
    auto node = std::make_unique<WindowNode>();
    node->hwnd = reinterpret_cast<HWND>(NewHandleValue());
    node->kind = kind;
    node->object = object;
    node->parent = parent;
    if (parent) parent->children.push_back(node.get());
    object->m_hWnd = node->hwnd;
    WindowNode& result = *node;
    TheRegistry().windows.emplace(result.hwnd, std::move(node));
    MarkWindowLive(result.hwnd);
    return result;
}

void DestroyWindowNode(HWND window) {
    Registry& r = TheRegistry();
    auto found = r.windows.find(window);
    if (found == r.windows.end()) return;
    WindowNode& node = *found->second;
    Backend* backend = BackendIfAny();
    if (node.kind == WindowKind::Dialog && backend) backend->WindowDestroyed(node);
    for (WindowNode* child : std::vector<WindowNode*>(node.children)) DestroyWindowNode(child->hwnd);
    if (node.parent) std::erase(node.parent->children, &node);
    if (node.systemMenu) DiscardSystemMenu(node);
    MarkWindowDead(window);
    KillWindowTimers(window);
    if (node.object && node.object->m_hWnd == window) node.object->m_hWnd = nullptr;
    r.windows.erase(found);
}

WindowNode* FindWindowNode(HWND window) {
    Registry& r = TheRegistry();
    auto found = r.windows.find(window);
    return found == r.windows.end() ? nullptr : found->second.get();
}

WindowNode* FindControl(const WindowNode& dialog, int id) {
    for (WindowNode* child : dialog.children)
        if (child->id == id) return child;
    return nullptr;
}

MenuRecord* FindMenu(HMENU menu) {
    Registry& r = TheRegistry();
    auto found = r.menus.find(menu);
    return found == r.menus.end() ? nullptr : found->second.get();
}

HMENU CreateSystemMenu(WindowNode& window) {
    auto record = std::make_unique<MenuRecord>();
    HMENU handle = reinterpret_cast<HMENU>(NewHandleValue());
    record->object.m_hMenu = handle;
    // The items of a dialog's system menu that this framework carries out.
    record->items.push_back({MF_STRING, SC_RESTORE, "&Restore"});
    if (window.dialogTemplate && (window.dialogTemplate->style & DS_MINIMIZEBOX))
        record->items.push_back({MF_STRING, SC_MINIMIZE, "Mi&nimize"});
    record->items.push_back({MF_SEPARATOR, 0, ""});
    record->items.push_back({MF_STRING, SC_CLOSE, "&Close\tAlt+F4"});
    TheRegistry().menus.emplace(handle, std::move(record));
    window.systemMenu = handle;
    return handle;
}

void DiscardSystemMenu(WindowNode& window) {
    TheRegistry().menus.erase(window.systemMenu);
    window.systemMenu = nullptr;
}

}  // namespace afx
