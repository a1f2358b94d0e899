// A job whose line settings the port refused goes on at the settings it kept;
// the user is told once, as the job starts.

#include "ui/zandrel_dlg.h"

void CZandrelDlg::ShowSettingsKept() {
    if (m_strSettingsRefusal.IsEmpty()) return;
    ShowStatus("Status:  " + m_strSettingsRefusal);
    AfxReportJobNotice(m_strSettingsRefusal);
}
