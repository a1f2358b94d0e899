// A job whose line settings the port refused goes on at the settings it kept;
// the user is told once, as the job starts.

#include "platform/comm/comm_report.h"
#include "ui/zandrel_dlg.h"

void CZandrelDlg::ShowSettingsKept() {
    const std::string strRefusal = GetLastCommSettingsRefusal();
    if (!strRefusal.empty()) SetDlgItemText(IDC_STATUS, CString("Status:  ") + strRefusal.c_str());
}
