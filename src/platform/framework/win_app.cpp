#include <errno.h>

#include <string>

#include "platform/framework/afxwin.h"
#include "platform/framework/icons.h"

namespace {

// Constant-initialised: the application object is built during static
// initialisation, in an order we do not control.
CWinApp* g_app = nullptr;
AFX_MODULE_STATE g_moduleState = {nullptr};

// The framework's default application name, chosen once the resources are
// registered: the string AFX_IDS_APP_TITLE, else the program's file name
// without its extension.
const char* DefaultAppName() {
    static const std::string name = [] {
        CString title;
        if (title.LoadString(AFX_IDS_APP_TITLE) && !title.IsEmpty()) return std::string(title);
        std::string file = program_invocation_short_name;
        size_t dot = file.rfind('.');
        return dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    }();
    return name.c_str();
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

// A null name is resolved later (AfxGetAppName): the resources may not be
// registered yet while the application object is built.
CWinApp::CWinApp(const char* appName) {
    static std::string storedName;
    if (appName) {
        storedName = appName;
        m_pszAppName = storedName.c_str();
        g_moduleState.m_lpszCurrentAppName = m_pszAppName;
    }
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

HICON CWinApp::LoadIcon(UINT id) const { return afx::IconHandle(AfxFindIcon(id)); }

// Three-dimensional controls are the toolkit's normal look.
BOOL CWinApp::Enable3dControls() { return TRUE; }

// The program ships no help file, so there is nothing to open.
void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return g_app; }

const char* AfxGetAppName() {
    if (!g_app) return DefaultAppName();
    if (!g_app->m_pszAppName) g_app->m_pszAppName = DefaultAppName();
    return g_app->m_pszAppName;
}

AFX_MODULE_STATE* AfxGetModuleState() {
    if (!g_moduleState.m_lpszCurrentAppName) g_moduleState.m_lpszCurrentAppName = AfxGetAppName();
    return &g_moduleState;
}

// There are no ActiveX controls to host on this platform.
void AfxEnableControlContainer() {}
