#include "platform/framework/afxres.h"

namespace {

// Constant-initialised, so registration during static initialisation is safe
// whatever the order of the translation units.
const ResourceTable* g_resources = nullptr;

}  // namespace

void AfxRegisterResources(const ResourceTable* table) { g_resources = table; }

const ResourceTable* AfxGetResources() { return g_resources; }

const DialogTemplate* AfxFindDialogTemplate(UINT id) {
    if (!g_resources) return nullptr;
    for (const DialogTemplate& dialog : g_resources->dialogs)
        if (dialog.id == id) return &dialog;
    return nullptr;
}

const IconResource* AfxFindIcon(UINT id) {
    if (!g_resources) return nullptr;
    for (const IconResource& icon : g_resources->icons)
        if (icon.id == id) return &icon;
    return nullptr;
}
