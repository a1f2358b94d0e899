#include "platform/kernel/visible_text.h"

namespace kernel {
namespace {

// The length of the well-formed UTF-8 character that starts at text[at], 0
// where none does (overlong forms, surrogates and code points past U+10FFFF
// are not well-formed).
size_t CharacterLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = at + 2; i < at + length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

// C0, DEL, and C1 (U+0080..U+009F, encoded C2 80..C2 9F).
bool IsControl(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character[0]);
    return lead < 0x20 || lead == 0x7F || (lead == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0);
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (unsigned char b : bytes) {
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
}

}  // namespace

std::string VisibleText(std::string_view text, size_t maxBytes) {
    std::string out;
    size_t lastFit = 0;  // where to cut if it comes to that: after a whole piece, with room for the mark
    for (size_t at = 0; at < text.size();) {
        const size_t length = CharacterLength(text, at);
        const std::string_view piece = text.substr(at, length == 0 ? 1 : length);
        if (piece == "\\")
            out += "\\\\";
        else if (length == 0 || IsControl(piece))
            AppendEscaped(out, piece);
        else
            out += piece;
        at += piece.size();
        if (out.size() + kCutMark.size() <= maxBytes) lastFit = out.size();
    }
    if (out.size() > maxBytes) {
        out.resize(lastFit);
        out += kCutMark;
    }
    return out;
}

}  // namespace kernel
