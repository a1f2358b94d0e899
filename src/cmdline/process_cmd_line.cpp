// The command-line message: each accepted pair goes into its control, the
// first rejected one is reported and ends the walk, and when every pair was
// accepted the job of the later file switch starts as its button would.
#include "cmdline/command_line_switch.h"
#include "cmdline/zandrel_command_line_info.h"
#include "ui/zandrel_dlg.h"

LRESULT CZandrelDlg::OnProcessCmdLine(WPARAM, LPARAM) {
    CZandrelCommandLineInfo cmdInfo;
    CString strSwitch;
    CString strValue;
    if (!cmdInfo.GetFirstParameter(strSwitch, strValue)) return 0;

    char chJob = 0;
    do {
        const char chLetter = SwitchLetter(strSwitch);
        const std::optional<SwitchEffect> effect = AcceptSwitch(chLetter, strValue);
        if (!effect) {
            const SwitchRejection rejection = RejectSwitch(chLetter, strValue);
            MessageBox(rejection.strText, rejection.strCaption, MB_OK);
            // The box's list is the program's old one; on the console, say where the whole one is.
            if (rejection.bUnknownSwitch) AfxReportJobNotice("zandrel -h lists every switch");
            return 0;
        }
        if (effect->bCheck)
            GetDlgItem(effect->nControlId)->SendMessage(BM_SETCHECK, effect->bChecked ? BST_CHECKED : BST_UNCHECKED);
        else
            SetDlgItemText(effect->nControlId, effect->strText);
        if (effect->nControlId == IDC_COM_PORT) OnPortTextChanged();  // the box's tip follows its text
        if (effect->chJob != 0) chJob = effect->chJob;
    } while (cmdInfo.GetNextParameter(strSwitch, strValue));

    if (chJob == 'r')
        OnCaptureToFile();
    else if (chJob == 'w')
        OnWriteToPort();
    return 0;
}
