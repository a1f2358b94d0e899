// Texts from outside the program reach a terminal only in a visible form.
#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/visible_text.h"

namespace {

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(VisibleText, ControlCharactersAndMalformedUtf8AreEscapedAndPrintableUtf8Kept) {
    struct Case {
        const char* what;
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {"plain", "FTDI FT232R USB UART A50285BI", "FTDI FT232R USB UART A50285BI"},
        {"C0 at both ends, NUL among them", std::string("\x01 a\0b\x1F", 6), "\\x01 a\\x00b\\x1F"},
        {"tab, line feed, carriage return", "a\tb\nc\rd", "a\\x09b\\x0Ac\\x0Dd"},
        {"DEL", "a\x7F" "b", "a\\x7Fb"},
        {"C1: CSI, NEL, and the last one", "\xC2\x9B" "2J \xC2\x85 \xC2\x9F", "\\xC2\\x9B2J \\xC2\\x85 \\xC2\\x9F"},
        {"the first printable past C1 is kept", "\xC2\xA0\xC2\xA9", "\xC2\xA0\xC2\xA9"},
        {"CSI: clear the screen", "\x1B[2J\x1B[H", "\\x1B[2J\\x1B[H"},
        {"OSC: retitle, ended by BEL", "\x1B]0;OWNED\x07", "\\x1B]0;OWNED\\x07"},
        {"DCS: a query the terminal answers", "\x1BP$q\"p\x1B\\", "\\x1BP$q\"p\\x1B\\\\"},
        {"a backslash reads back unambiguously", "C:\\x1B", "C:\\\\x1B"},
        {"accents, CJK, emoji kept", "Café 串口 🔌", "Café 串口 🔌"},
        {"the highest code point kept", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"a lone continuation byte", "a\x80" "b", "a\\x80b"},
        {"overlong NUL and slash", "\xC0\x80 \xE0\x80\xAF", "\\xC0\\x80 \\xE0\\x80\\xAF"},
        {"a sequence cut short, then ASCII", "\xE4\xB8" "x", "\\xE4\\xB8x"},
        {"a sequence cut short at the end", "ok\xF0\x9F\x94", "ok\\xF0\\x9F\\x94"},
        {"surrogates", "\xED\xA0\x80\xED\xBF\xBF", "\\xED\\xA0\\x80\\xED\\xBF\\xBF"},
        {"past U+10FFFF, and bytes never in UTF-8", "\xF4\x90\x80\x80\xFE\xFF", "\\xF4\\x90\\x80\\x80\\xFE\\xFF"},
    };
    for (const Case& c : cases) EXPECT_EQ(kernel::VisibleText(c.text), c.shown) << c.what;
}

TEST(VisibleText, ALongTextIsCutAfterAWholeCharacterOrEscapeAndMarked) {
    struct Case {
        const char* what;
        std::string text;
        size_t bound;
        std::string shown;
    };
    const Case cases[] = {
        {"fits exactly", "abcdef", 6, "abcdef"},
        {"one byte over", "abcdefg", 6, "abc..."},
        {"not inside a character", "ab€€", 7, "ab..."},
        {"not inside an escape", "ab\x1B" "cdef", 8, "ab..."},
        {"an escape that fits", "ab\x1B" "cdefgh", 9, "ab\\x1B..."},
        {"a USB string's worth of euro signs", Repeated("€", 126), 200, Repeated("€", 65) + "..."},
    };
    for (const Case& c : cases) {
        const std::string shown = kernel::VisibleText(c.text, c.bound);
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_LE(shown.size(), c.bound) << c.what;
    }
}

}  // namespace
