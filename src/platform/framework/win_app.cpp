#include <errno.h>

#include <string>

#include "platform/framework/afxwin.h"
#include "platform/framework/icons.h"

namespace {

// Constant-initialised: the application object is built during static
// initialisation, in an order we do not control.
CWinApp* g_app = nullptr;
AFX_MODULE_STATE g_moduleState = {nullptr};

// The program's file name without its extension, as the framework's default
// application name.
const char* ProgramName() {
    static const std::string name = [] {
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

CWinApp::CWinApp(const char* appName) {
    static std::string storedName;
    storedName = appName ? appName : ProgramName();
    m_pszAppName = storedName.c_str();
    g_moduleState.m_lpszCurrentAppName = m_pszAppName;
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

const char* AfxGetAppName() { return g_app ? g_app->m_pszAppName : ProgramName(); }

AFX_MODULE_STATE* AfxGetModuleState() {
    if (!g_moduleState.m_lpszCurrentAppName) g_moduleState.m_lpszCurrentAppName = AfxGetAppName();
    return &g_moduleState;
}

// There are no ActiveX controls to host on this platform.
void AfxEnableControlContainer() {}
