#include "cmdline/switch_question.h"

#include "cmdline/command_line_switch.h"
#include "cmdline/zandrel_command_line_info.h"

SwitchQuestion QuestionOf(const CString& strSwitch) {
    if (strSwitch == "-help") return SwitchQuestion::Help;
    if (strSwitch == "-version") return SwitchQuestion::Version;
    const char chLetter = SwitchLetter(strSwitch);
    return chLetter == 'h' || chLetter == '?' ? SwitchQuestion::Help : SwitchQuestion::None;
}

SwitchQuestion CommandLineQuestion() {
    CZandrelCommandLineInfo cmdInfo;
    CString strSwitch;
    CString strValue;
    for (BOOL bPair = cmdInfo.GetFirstParameter(strSwitch, strValue); bPair;
         bPair = cmdInfo.GetNextParameter(strSwitch, strValue)) {
        const SwitchQuestion question = QuestionOf(strSwitch);
        if (question != SwitchQuestion::None) return question;
        if (!AcceptSwitch(SwitchLetter(strSwitch), strValue)) break;
    }
    return SwitchQuestion::None;
}
