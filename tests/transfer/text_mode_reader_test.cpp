#include "transfer/text_mode_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

FILE* TemporaryFileOf(const std::string& bytes) {
    FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

// Everything the reader yields until it reports the end, end included as '$'.
std::string ReadAll(const std::string& bytes) {
    FILE* file = TemporaryFileOf(bytes);
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

// The count the progress line is given against what the reader yields: the
// same, wherever the blocks it is read in end.
TEST(TextModeCount, IsWhatTheReaderYields) {
    std::string crLfs = "x";  // so that pairs straddle every block boundary
    for (int i = 0; i < 100000; ++i) crLfs += "\r\n";
    const std::vector<std::string> files = {"", "a\r\nb", "a\rb", "\r\r\n", "x\r", "\n\n", "ab\x1a" "cd", "\r\x1a\n",
                                            std::string("a\0b", 3), crLfs, crLfs + "\x1a" + crLfs};
    for (const std::string& bytes : files) {
        FILE* file = TemporaryFileOf(bytes);
        std::uint64_t yielded = 0;
        while (!ReadTextModeChar(file).bEnd) ++yielded;
        std::rewind(file);
        EXPECT_EQ(CountTextModeChars(file, 1u << 30), yielded) << bytes.size() << " bytes";
        std::fclose(file);
    }
}

TEST(TextModeCount, GivesUpOnAFileLongerThanTheLimit) {
    FILE* file = TemporaryFileOf(std::string(1000, 'x'));
    EXPECT_EQ(CountTextModeChars(file, 1000), 1000u);
    std::rewind(file);
    EXPECT_EQ(CountTextModeChars(file, 999), std::nullopt);
    std::fclose(file);
}
