// Reads a stream the way the original platform's text mode does, which
// fopen "r" here does not: CR LF reads as LF, a lone CR as CR, and a Ctrl-Z
// byte ends the file (it stays the end however often it is read).
#pragma once

#include <cstdio>

struct TextModeChar {
    int nChar;   // the character, or EOF
    bool bEnd;   // end of file reached (a read error counts as the end)
};

TextModeChar ReadTextModeChar(FILE* pFile);
