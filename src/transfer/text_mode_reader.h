// Reads a stream the way the original platform's text mode does, which
// fopen "r" here does not: CR LF reads as LF, a lone CR as CR, and a Ctrl-Z
// byte ends the file (it stays the end however often it is read).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

struct TextModeChar {
    int nChar;   // the character, or EOF
    bool bEnd;   // end of file reached (a read error counts as the end)
};

TextModeChar ReadTextModeChar(FILE* pFile);

// How many characters ReadTextModeChar yields from the stream's position on,
// read in large blocks; nothing when more than nMaxBytes bytes would have to be
// read to tell. Leaves the stream where the count stopped.
std::optional<std::uint64_t> CountTextModeChars(FILE* pFile, std::uint64_t nMaxBytes);
