#include "platform/framework/afxwin.h"
#include "platform/kernel/visible_text.h"

CString AfxVisibleText(const char* pszText) { return kernel::VisibleText(pszText ? pszText : "").c_str(); }
