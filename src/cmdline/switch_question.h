// Switches that ask about the program instead of setting up a job: help
// (-h, -H, -help, /?, --help) and the version (--version). They are answered
// before any window or job starts.
#pragma once

#include "platform/framework/afxwin.h"

enum class SwitchQuestion { None, Help, Version };

// What a switch name asks: its letter h or ?, or the name "-help", asks for
// help; the name "-version" for the version.
SwitchQuestion QuestionOf(const CString& strSwitch);

// The question of the first pair on the command line that asks one, the
// pairs before it all accepted; none when there is no such pair, or when a
// pair before it is rejected (that rejection is told by the dialog). No pair
// after the question is read.
SwitchQuestion CommandLineQuestion();
