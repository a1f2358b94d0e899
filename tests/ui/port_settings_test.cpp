#include "ui/port_settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

TEST(ParityCode, MapsTheFourNamedParitiesAndEverythingElseToSpace) {
    // Compared whole and case-sensitively.
    const std::pair<const char*, int> cases[] = {{"NOPARITY", 0},    {"ODDPARITY", 1}, {"EVENPARITY", 2},
                                                 {"MARKPARITY", 3},  {"SPACEPARITY", 4}, {"noparity", 4},
                                                 {"", 4},            {"NOPARITY ", 4},  {"0", 4}};
    for (const auto& [text, code] : cases) EXPECT_EQ(ParityCode(text), code) << '"' << text << '"';
}

TEST(StopBitsCode, MapsOneAndOneAndAHalfAndTakesAtoiOfAnythingElse) {
    const std::pair<const char*, int> cases[] = {{"1", 0},   {"1.5", 1}, {"2", 2},    {"1.0", 1},
                                                 {"2.5", 2}, {"", 0},    {"two", 0}, {" 1", 1}};
    for (const auto& [text, code] : cases) EXPECT_EQ(StopBitsCode(text), code) << '"' << text << '"';
}

TEST(ConvertLineSettings, ReadsNumbersWithAtoiAndCodesFromTheTables) {
    LineSettings s = ConvertLineSettings("9600 bps", " 7", "EVENPARITY", "1.5");
    EXPECT_EQ(s.dwBaudRate, 9600u);
    EXPECT_EQ(s.nDataBits, 7);
    EXPECT_EQ(s.nParity, 2);
    EXPECT_EQ(s.nStopBits, 1);

    LineSettings empty = ConvertLineSettings("", "x", "", "");
    EXPECT_EQ(empty.dwBaudRate, 0u);
    EXPECT_EQ(empty.nDataBits, 0);
    EXPECT_EQ(empty.nParity, 4);
    EXPECT_EQ(empty.nStopBits, 0);
}

TEST(TextToInt, NumbersOutOfRangeStopAtTheIntLimitsInsteadOfWrappingAround) {
    EXPECT_EQ(TextToInt("4294967297"), INT_MAX);
    EXPECT_EQ(TextToInt("-4294967291"), INT_MIN);
    EXPECT_EQ(ConvertLineSettings("9600", "4294967304", "NOPARITY", "4294967298").nDataBits, INT_MAX);
    EXPECT_EQ(SendTimerPeriod("-4294967291"), 10u);
}

TEST(SendTimerPeriod, TakesAtoiButRunsDelaysBelowOneMillisecondAtTen) {
    EXPECT_EQ(SendTimerPeriod("25"), 25u);
    EXPECT_EQ(SendTimerPeriod("7 ms"), 7u);
    EXPECT_EQ(SendTimerPeriod("1"), 1u);
    EXPECT_EQ(SendTimerPeriod("0"), 10u);
    EXPECT_EQ(SendTimerPeriod(""), 10u);
    EXPECT_EQ(SendTimerPeriod("fast"), 10u);
    EXPECT_EQ(SendTimerPeriod("-5"), 10u);
}

TEST(CompanionFileName, InsertsAsciBeforeTheLastFourCharacters) {
    const std::pair<const char*, const char*> table[] = {
        {"capture.txt", "capture_asci.txt"}, {"C:\\logs\\rx.log", "C:\\logs\\rx_asci.log"},
        {"rx.text", "rx._ascitext"},         {"capture", "cap_asciture"},
        {"data", "_ascidata"},               {"abc", "_asciabc"},
        {"C:\\out", "C:_asci\\out"},         {"", "_asci"},
    };
    for (const auto& [name, companion] : table)
        EXPECT_STREQ(CompanionFileName(name), companion) << "for " << name;
}

TEST(FormatDeviceName, PrefixesThePortTextAndRefusesWhatDoesNotFit) {
    char device[DEVICE_NAME_SIZE];
    ASSERT_TRUE(FormatDeviceName("COM3", device));
    EXPECT_STREQ(device, "\\\\.\\COM3");
    ASSERT_TRUE(FormatDeviceName("COM12", device));
    EXPECT_STREQ(device, "\\\\.\\COM12");

    // Stable adapter names are long; 255 characters fit.
    const std::string longest(255, 'x');
    ASSERT_TRUE(FormatDeviceName(longest.c_str(), device));
    EXPECT_EQ(std::string(device), "\\\\.\\" + longest);

    // One more would not fit: refused, not cut.
    EXPECT_FALSE(FormatDeviceName(std::string(256, 'x').c_str(), device));
    EXPECT_STREQ(device, "");
    EXPECT_FALSE(FormatDeviceName(std::string(3000, 'y').c_str(), device));
}
