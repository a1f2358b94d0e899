// Opening the jobs' files, in each pass. A FIFO is refused as a file that
// cannot be opened: opening one waits until some process opens its other end,
// and reading or writing it waits for that process, so the user-interface
// thread would hang inside a tick or a notification, with no way to Stop or close.
#pragma once

#include <cstdio>

FILE* OpenJobFile(const char* pszFileName, const char* pszMode);
