#include "platform/framework/afxwin.h"
#include "platform/framework/window_registry.h"

CMenu* CMenu::FromHandle(HMENU menu) {
    afx::MenuRecord* record = afx::FindMenu(menu);
    return record ? &record->object : nullptr;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idNewItem, const char* newItem) {
    afx::MenuRecord* record = afx::FindMenu(m_hMenu);
    if (!record) return FALSE;
    if (flags & MF_SEPARATOR)
        record->items.push_back({flags, 0, ""});
    else
        record->items.push_back({flags, idNewItem, newItem ? newItem : ""});
    return TRUE;
}

UINT CMenu::GetMenuItemCount() const {
    afx::MenuRecord* record = afx::FindMenu(m_hMenu);
    return record ? static_cast<UINT>(record->items.size()) : static_cast<UINT>(-1);
}
