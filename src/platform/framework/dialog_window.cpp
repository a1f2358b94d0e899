#include "platform/framework/dialog_window.h"

#include "platform/framework/backend.h"

namespace afx {

WindowNode* CreateDialogWindow(CDialog& dialog, UINT templateId) {
    const DialogTemplate* dialogTemplate = AfxFindDialogTemplate(templateId);
    if (!dialogTemplate) return nullptr;
    WindowNode& window = CreateWindowNode(WindowKind::Dialog, &dialog, nullptr);
    window.dialogTemplate = dialogTemplate;
    window.text = dialogTemplate->caption;
    for (const DialogControl& control : dialogTemplate->controls) {
        auto object = std::make_unique<CWnd>();
        WindowNode& node = CreateWindowNode(WindowKind::Control, object.get(), &window);
        node.ownedObject = std::move(object);
        node.id = control.id;
        node.controlKind = control.kind;
        node.controlTemplate = &control;
        node.text = control.text;
    }
    CurrentBackend().WindowCreated(window);
    HWND handle = window.hwnd;
    dialog.OnInitDialog();
    // OnInitDialog may have destroyed the window; the handle tells.
    WindowNode* created = FindWindowNode(handle);
    if (created) created->initialised = true;
    return created;
}

}  // namespace afx
