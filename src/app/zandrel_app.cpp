#include "app/zandrel_app.h"

#include "ui/zandrel_dlg.h"

// The one application object; a null name lets the framework use the program's.
CZandrelApp theApp;

CZandrelApp::CZandrelApp() : CWinApp(nullptr) {}

BEGIN_MESSAGE_MAP(CZandrelApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

// No message loop of our own: the program ends when the dialog does.
BOOL CZandrelApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();

    CZandrelDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}
