#include "transfer/text_mode_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Everything the reader yields until it reports the end, end included as '$'.
std::string ReadAll(const std::string& bytes) {
    FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    std::string got;
    for (int guard = 0; guard < 100; ++guard) {
        TextModeChar c = ReadTextModeChar(file);
        if (c.bEnd) {
            got += '$';
            break;
        }
        got += static_cast<char>(c.nChar);
    }
    std::fclose(file);
    return got;
}

}  // namespace

TEST(TextModeReader, ReadsCrLfAsLfAndKeepsALoneCr) {
    EXPECT_EQ(ReadAll("a\r\nb\r\n"), "a\nb\n$");
    EXPECT_EQ(ReadAll("a\rb"), "a\rb$");
    EXPECT_EQ(ReadAll("\r\r\n"), "\r\n$");
    EXPECT_EQ(ReadAll("x\r"), "x\r$");
    EXPECT_EQ(ReadAll("\n\n"), "\n\n$");
}

TEST(TextModeReader, PassesNulAndHighBytesUnchanged) {
    EXPECT_EQ(ReadAll(std::string("a\0b\xff\x80", 5)), std::string("a\0b\xff\x80$", 6));
}

TEST(TextModeReader, EndsAtCtrlZAndStaysAtTheEnd) {
    EXPECT_EQ(ReadAll("ab\x1a" "cd"), "ab$");
    EXPECT_EQ(ReadAll("\r\x1a"), "\r$");

    FILE* file = std::tmpfile();
    std::fputs("a\x1a" "b", file);
    std::rewind(file);
    EXPECT_EQ(ReadTextModeChar(file).nChar, 'a');
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(ReadTextModeChar(file).bEnd);
    std::fclose(file);
}

TEST(TextModeReader, AnEmptyFileEndsAtOnce) {
    EXPECT_EQ(ReadAll(""), "$");
}

TEST(TextModeReader, AReadErrorEndsTheFileAndIsNeverAByte) {
    // A directory opens for reading, but every read of it fails.
    FILE* dir = std::fopen("/", "r");
    ASSERT_NE(dir, nullptr);
    TextModeChar c = ReadTextModeChar(dir);
    EXPECT_TRUE(c.bEnd);
    EXPECT_TRUE(std::ferror(dir));
    std::fclose(dir);
}
