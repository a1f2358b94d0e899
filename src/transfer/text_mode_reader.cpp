#include "transfer/text_mode_reader.h"

#include <cstring>

namespace {

constexpr int CTRL_Z = 0x1A;
constexpr size_t COUNT_BLOCK = 64 * 1024;

}  // namespace

TextModeChar ReadTextModeChar(FILE* pFile) {
    int c = std::fgetc(pFile);
    if (c == EOF) return {EOF, true};
    if (c == CTRL_Z) {
        // Pushed back so that every later read meets the end again.
        std::ungetc(c, pFile);
        return {EOF, true};
    }
    if (c == '\r') {
        int next = std::fgetc(pFile);
        if (next == '\n') return {'\n', false};
        if (next != EOF) std::ungetc(next, pFile);
    }
    return {c, false};
}

std::optional<std::uint64_t> CountTextModeChars(FILE* pFile, std::uint64_t nMaxBytes) {
    // Every byte before the first Ctrl-Z is a character, but a CR LF pair is one.
    char block[COUNT_BLOCK];
    std::uint64_t nBytes = 0;
    std::uint64_t nPairs = 0;
    bool bCrBefore = false;  // the block before ended in CR
    for (size_t nRead; (nRead = std::fread(block, 1, sizeof block, pFile)) > 0;) {
        const char* pCtrlZ = static_cast<const char*>(std::memchr(block, CTRL_Z, nRead));
        const char* pEnd = pCtrlZ ? pCtrlZ : block + nRead;
        nBytes += pEnd - block;
        if (nBytes > nMaxBytes) return std::nullopt;
        if (bCrBefore && pEnd > block && block[0] == '\n') ++nPairs;
        for (const char* p = block + 1; p < pEnd && (p = static_cast<const char*>(std::memchr(p, '\n', pEnd - p))); ++p)
            if (p[-1] == '\r') ++nPairs;
        if (pCtrlZ) break;
        bCrBefore = block[nRead - 1] == '\r';
    }
    return nBytes - nPairs;
}
