// The meaning of one command-line pair, apart from any window: which control
// an accepted value goes to and what it leaves there, or the message box that
// rejects the pair.
#pragma once

#include <optional>

#include "platform/framework/afxwin.h"

struct SwitchEffect {
    int nControlId = 0;
    CString strText;     // the control's new text, unless bCheck
    bool bCheck = false;  // a check box: ticked or cleared instead of a text
    BOOL bChecked = FALSE;
    char chJob = 0;      // 'r' or 'w' when the pair names a file to receive or to write
};

struct SwitchRejection {
    CString strCaption;
    CString strText;
    bool bUnknownSwitch = false;  // no switch of that letter: its list names only some of them
};

// The lower-case first character of a switch name; NUL for an empty name.
char SwitchLetter(const CString& strSwitch);

// The effect of a pair whose value is accepted; nothing when the value, or the
// letter itself, is rejected.
std::optional<SwitchEffect> AcceptSwitch(char chLetter, const CString& strValue);

// The message that rejects a pair.
SwitchRejection RejectSwitch(char chLetter, const CString& strValue);
