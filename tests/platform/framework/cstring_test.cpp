// The CString operations the program relies on.
#include <gtest/gtest.h>

#include "platform/framework/afxwin.h"

namespace {

TEST(CStringInsert, AtStartEndAndBeyondTheEnd) {
    CString name("capture.txt");
    EXPECT_EQ(16, name.Insert(name.GetLength() - 4, "_asci"));
    EXPECT_STREQ("capture_asci.txt", name);
    CString start("abc");
    start.Insert(0, "_asci");
    EXPECT_STREQ("_asciabc", start);
    CString end("abc");
    end.Insert(3, "!");
    EXPECT_STREQ("abc!", end);
    CString beyond("abc");
    beyond.Insert(10, "!");
    EXPECT_STREQ("abc!", beyond);
    CString negative("abc");
    negative.Insert(-1, "_asci");  // a name shorter than four characters
    EXPECT_STREQ("_asciabc", negative);
}

TEST(CStringTrim, WhiteSpaceWithoutArgument) {
    CString text(" \t\r\n\v\fa b \t\r\n\v\f");
    text.TrimLeft();
    EXPECT_STREQ("a b \t\r\n\v\f", text);
    text.TrimRight();
    EXPECT_STREQ("a b", text);
    CString blank("   ");
    blank.TrimRight();
    EXPECT_TRUE(blank.IsEmpty());
}

TEST(CStringTrim, EveryOccurrenceOfTheGivenCharacter) {
    CString path("\"\"C:\\zandrel.exe\"\"");
    path.TrimLeft('"');
    EXPECT_STREQ("C:\\zandrel.exe\"\"", path);
    path.TrimRight('"');
    EXPECT_STREQ("C:\\zandrel.exe", path);
    CString spaces(" x ");
    spaces.TrimLeft('"');
    spaces.TrimRight('"');
    EXPECT_STREQ(" x ", spaces);
}

TEST(CStringParts, LeftMidRightClampToTheText) {
    CString token("-baud");
    EXPECT_STREQ("-", token.Left(1));
    EXPECT_STREQ("baud", token.Mid(1));
    EXPECT_STREQ("au", token.Mid(2, 2));
    EXPECT_STREQ("", token.Mid(9));
    EXPECT_STREQ("baud", token.Mid(1, 99));
    EXPECT_STREQ("ud", token.Right(2));
    EXPECT_STREQ("-baud", token.Left(99));
    EXPECT_STREQ("", CString("-").Mid(1));
}

TEST(CStringSearch, FindOneOfGivesFirstCharacterInTheSet) {
    EXPECT_EQ(0, CString("/b").FindOneOf("/-"));
    EXPECT_EQ(2, CString("ab-c/").FindOneOf("/-"));
    EXPECT_EQ(-1, CString("9600").FindOneOf("/-"));
    EXPECT_EQ(-1, CString("").FindOneOf("/-"));
    EXPECT_EQ(1, CString("a.b.").Find('.'));
    EXPECT_EQ(2, CString("rx.log").Find(".log"));
}

TEST(CStringBuild, NullPointerIsEmptyAndConcatenationKeepsOrder) {
    CString fromNull(static_cast<const char*>(nullptr));
    EXPECT_TRUE(fromNull.IsEmpty());
    CString assigned("x");
    assigned = static_cast<const char*>(nullptr);
    EXPECT_TRUE(assigned.IsEmpty());
    CString message = CString("Unsupported: ") + "7" + " ms" + CString("\n");
    EXPECT_STREQ("Unsupported: 7 ms\n", message);
    EXPECT_TRUE(message == "Unsupported: 7 ms\n");
    EXPECT_EQ(0, CString("NOPARITY").Compare("NOPARITY"));
    EXPECT_NE(0, CString("noparity").Compare("NOPARITY"));
}

TEST(CStringFormat, LongTextIsNotCut) {
    CString text;
    std::string chunk(500, 'x');
    text.Format("Status:  Reading data from the port... %s", chunk.c_str());
    EXPECT_EQ(39 + 500, text.GetLength());
    text.Format("\\\\.\\%s", "COM12");
    EXPECT_STREQ("\\\\.\\COM12", text);
}

}  // namespace
