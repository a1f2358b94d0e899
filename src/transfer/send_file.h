// Opening the send file, in each pass. Only a regular file opens; anything
// else is refused as a file that cannot be opened: opening a FIFO for reading
// waits until some process opens it for writing, and each read waits for
// data, so the user-interface thread would hang inside a tick, with no way to
// Stop or close. A directory opens but reads as an empty file, so a Loop
// would reopen it forever, and a device may never end or never answer.
#pragma once

#include <cstdio>

#include "platform/win32.h"

FILE* OpenSendFile(const char* pszFileName);

// The characters a pass of the send file just opened sends (CR LF is one, a
// Ctrl-Z ends it), for showing progress; 0 when it cannot be told cheaply.
// Leaves the file at its start.
ULONGLONG SendFileChars(FILE* pSendFile);
