#include "transfer/text_mode_reader.h"

namespace {

constexpr int CTRL_Z = 0x1A;

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
