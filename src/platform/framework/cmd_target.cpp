#include "platform/framework/afxwin.h"

namespace {

bool Matches(const AFX_MSGMAP_ENTRY& entry, UINT message, WPARAM wParam) {
    // A registered message's identifier is read now: it is set during static
    // initialisation, possibly after the map was built.
    if (entry.pnRegistered) return *entry.pnRegistered != 0 && message == *entry.pnRegistered;
    if (entry.nMessage != message) return false;
    if (message != WM_COMMAND) return true;
    return LOWORD(wParam) == static_cast<WORD>(entry.nID) && HIWORD(wParam) == entry.nCode;
}

}  // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::DispatchThroughMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfnHandler; ++entry) {
            if (Matches(*entry, message, wParam)) {
                result = entry->pfnHandler(this, wParam, lParam);
                return true;
            }
        }
    }
    return false;
}
