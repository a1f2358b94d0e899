#include "cmdline/zandrel_command_line_info.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cmdline/command_line.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The program path is the tokenizer's own; tests read it through a subclass.
class InspectedCommandLineInfo : public CZandrelCommandLineInfo {
public:
    std::string ProgramPath() const { return m_strProgramPath.str(); }
};

// Every pair of one walk, from GetFirstParameter to the FALSE of the walk.
Pairs Walk(CZandrelCommandLineInfo& info) {
    Pairs pairs;
    CString strSwitch = "stale";
    CString strValue = "stale";
    for (BOOL more = info.GetFirstParameter(strSwitch, strValue); more;
         more = info.GetNextParameter(strSwitch, strValue))
        pairs.emplace_back(strSwitch.str(), strValue.str());
    EXPECT_EQ(strSwitch.str(), "");
    EXPECT_EQ(strValue.str(), "");
    return pairs;
}

Pairs PairsOf(const std::string& commandLine) {
    testsupport::SetCommandLine(commandLine);
    CZandrelCommandLineInfo info;
    return Walk(info);
}

TEST(CommandLineTokenizer, SwitchesPairWithTheWordThatFollows) {
    EXPECT_EQ(PairsOf("zandrel -b 9600 -c 3"), (Pairs{{"b", "9600"}, {"c", "3"}}));
}

TEST(CommandLineTokenizer, NothingAfterTheProgramPathGivesNoPair) {
    EXPECT_EQ(PairsOf("zandrel"), Pairs{});
    EXPECT_EQ(PairsOf(""), Pairs{});
    EXPECT_EQ(PairsOf(" \t \r\n"), Pairs{});
}

TEST(CommandLineTokenizer, SwitchNameKeepsItsCaseAndWholeTextAfterEitherPrefix) {
    EXPECT_EQ(PairsOf("zandrel /B 9600"), (Pairs{{"B", "9600"}}));
    EXPECT_EQ(PairsOf("zandrel -baud 9600"), (Pairs{{"baud", "9600"}}));
}

TEST(CommandLineTokenizer, WordWithoutPrefixIsAValueWithoutSwitch) {
    EXPECT_EQ(PairsOf("zandrel 9600"), (Pairs{{"", "9600"}}));
}

TEST(CommandLineTokenizer, SwitchAsLastWordHasAnEmptyValue) {
    EXPECT_EQ(PairsOf("zandrel -b"), (Pairs{{"b", ""}}));
    EXPECT_EQ(PairsOf("zandrel -w a.txt -r"), (Pairs{{"w", "a.txt"}, {"r", ""}}));
}

TEST(CommandLineTokenizer, WordAfterASwitchIsItsValueEvenWhenItIsASwitch) {
    EXPECT_EQ(PairsOf("zandrel -b -c 3"), (Pairs{{"b", "-c"}, {"", "3"}}));
}

TEST(CommandLineTokenizer, LonePrefixIsASwitchWithAnEmptyName) {
    EXPECT_EQ(PairsOf("zandrel - 5"), (Pairs{{"", "5"}}));
    EXPECT_EQ(PairsOf("zandrel / 5 -"), (Pairs{{"", "5"}, {"", ""}}));
}

TEST(CommandLineTokenizer, RunsOfSpacesAndSpacesAtTheEndsSeparateLikeOne) {
    EXPECT_EQ(PairsOf("   zandrel    -b   9600  -c 3   "), (Pairs{{"b", "9600"}, {"c", "3"}}));
}

TEST(CommandLineTokenizer, WhiteSpaceAtTheEndsOfTheCommandLineIsNotPartOfAValue) {
    EXPECT_EQ(PairsOf("\tzandrel -b 9600\t\r\n"), (Pairs{{"b", "9600"}}));
}

TEST(CommandLineTokenizer, TabIsAnOrdinaryCharacter) {
    EXPECT_EQ(PairsOf("zandrel -b\t9600 -c 3"), (Pairs{{"b\t9600", "-c"}, {"", "3"}}));
}

TEST(CommandLineTokenizer, ValueEndsAtASpace) {
    EXPECT_EQ(PairsOf("zandrel -w my file.txt"), (Pairs{{"w", "my"}, {"", "file.txt"}}));
}

TEST(CommandLineTokenizer, DoubleQuotesInParametersAreOrdinaryCharacters) {
    EXPECT_EQ(PairsOf("zandrel -w \"a.txt\""), (Pairs{{"w", "\"a.txt\""}}));
    EXPECT_EQ(PairsOf("zandrel -w \"my file.txt\""), (Pairs{{"w", "\"my"}, {"", "file.txt\""}}));
}

TEST(CommandLineTokenizer, QuotedProgramPathLosesItsQuotes) {
    testsupport::SetCommandLine("\"/usr/bin/zandrel\" -b 9600");
    InspectedCommandLineInfo info;
    EXPECT_EQ(info.ProgramPath(), "/usr/bin/zandrel");
    EXPECT_EQ(Walk(info), (Pairs{{"b", "9600"}}));
}

TEST(CommandLineTokenizer, ProgramPathWithSpacesIsOneToken) {
    const char* const argv[] = {"/opt/my tools/zandrel app", "-b", "9600"};
    AfxSetCommandLine(3, argv);  // quotes the path, as a shortcut would
    InspectedCommandLineInfo info;
    EXPECT_EQ(info.ProgramPath(), "/opt/my tools/zandrel app");
    EXPECT_EQ(Walk(info), (Pairs{{"b", "9600"}}));
}

TEST(CommandLineTokenizer, QuotedProgramPathAloneGivesNoPair) {
    testsupport::SetCommandLine("\"/opt/my tools/zandrel\"");
    InspectedCommandLineInfo info;
    EXPECT_EQ(info.ProgramPath(), "/opt/my tools/zandrel");
    EXPECT_EQ(Walk(info), Pairs{});
}

TEST(CommandLineTokenizer, ProgramPathWithoutClosingQuoteEndsAtTheFirstSpace) {
    testsupport::SetCommandLine("\"/opt/my tools -b 9600");
    InspectedCommandLineInfo info;
    EXPECT_EQ(info.ProgramPath(), "/opt/my");
    EXPECT_EQ(Walk(info), (Pairs{{"", "tools"}, {"b", "9600"}}));
}

TEST(CommandLineTokenizer, EmptyCommandLineHasNoProgramPath) {
    testsupport::SetCommandLine("   ");
    InspectedCommandLineInfo info;
    EXPECT_EQ(info.ProgramPath(), "");
}

TEST(CommandLineTokenizer, NextBeforeFirstFindsNothing) {
    testsupport::SetCommandLine("zandrel -b 9600");
    CZandrelCommandLineInfo info;
    CString strSwitch = "stale";
    CString strValue = "stale";
    EXPECT_FALSE(info.GetNextParameter(strSwitch, strValue));
    EXPECT_EQ(strSwitch.str(), "");
    EXPECT_EQ(strValue.str(), "");
}

TEST(CommandLineTokenizer, FirstRestartsTheWalk) {
    testsupport::SetCommandLine("zandrel -b 9600 -c 3");
    CZandrelCommandLineInfo info;
    CString strSwitch;
    CString strValue;
    ASSERT_TRUE(info.GetFirstParameter(strSwitch, strValue));
    ASSERT_TRUE(info.GetFirstParameter(strSwitch, strValue));
    EXPECT_EQ(strSwitch.str(), "b");
    EXPECT_EQ(strValue.str(), "9600");
    EXPECT_EQ(Walk(info), (Pairs{{"b", "9600"}, {"c", "3"}}));
    EXPECT_FALSE(info.GetNextParameter(strSwitch, strValue));
}

TEST(CommandLineTokenizer, CommandLineIsReadAtConstruction) {
    testsupport::SetCommandLine("zandrel -b 9600");
    CZandrelCommandLineInfo info;
    testsupport::SetCommandLine("zandrel -c 3");
    EXPECT_EQ(Walk(info), (Pairs{{"b", "9600"}}));
}

TEST(CommandLineTokenizer, TwoWalksDoNotDisturbEachOther) {
    testsupport::SetCommandLine("zandrel -b 9600 -c 3");
    CZandrelCommandLineInfo first;
    testsupport::SetCommandLine("zandrel -d 7 -s 2");
    CZandrelCommandLineInfo second;
    CString strSwitch;
    CString strValue;
    ASSERT_TRUE(first.GetFirstParameter(strSwitch, strValue));
    ASSERT_TRUE(second.GetFirstParameter(strSwitch, strValue));
    ASSERT_TRUE(first.GetNextParameter(strSwitch, strValue));
    EXPECT_EQ(strSwitch.str(), "c");
    ASSERT_TRUE(second.GetNextParameter(strSwitch, strValue));
    EXPECT_EQ(strSwitch.str(), "s");
}

}  // namespace
