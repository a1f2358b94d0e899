#include "platform/framework/afxwin.h"
#include "platform/framework/backend.h"
#include "platform/framework/dialog_window.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
    afx::WindowNode* window = afx::CreateDialogWindow(*this, m_nIDTemplate);
    if (!window) return -1;
    INT_PTR result = afx::CurrentBackend().RunDialog(*this, *window);
    afx::DestroyWindowNode(m_hWnd);
    return result;
}

BOOL CDialog::OnInitDialog() {
    // The dialog's initialisation data: the combo-box lists, in order.
    if (const ResourceTable* resources = AfxGetResources()) {
        for (const DialogInitList& list : resources->dialogInit) {
            if (list.dialogId != m_nIDTemplate) continue;
            CWnd* control = GetDlgItem(list.controlId);
            if (!control) continue;
            for (const std::string& entry : list.entries)
                control->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
    }
    return TRUE;
}

void CDialog::EndDialog(int result) {
    if (afx::WindowNode* window = afx::FindWindowNode(m_hWnd)) {
        window->modalEnded = true;
        window->modalResult = result;
    }
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // A dialog turns the close request into the Cancel command.
    if (message == WM_CLOSE) return SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return CWnd::DefWindowProc(message, wParam, lParam);
}
